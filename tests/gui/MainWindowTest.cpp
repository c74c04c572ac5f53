#include "app/ConsolePanel.h"
#include "app/MainWindow.h"
#include "app/PageSelectorPanel.h"

#include "GuiTestUtil.h"
#include "ChildProcess.h"
#include "TestFiles.h"
#include "app/IniFile.h"
#include "app/QtText.h"
#include "lang/U_language.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QTextBlock>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <tuple>

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSwitches();
        isAUTONOM = true;
        SetLogFileName(dir.File("vornik-config.log"));
    }
    void TearDown() override {
        ResetSwitches();
        SetDataDir("");
    }
    TScratchDir dir{true};  // the working directory of the window
};

// Alive and not a zombie, by /proc.
bool Running(pid_t pid) {
    const std::string stat = ReadBytes("/proc/" + std::to_string(pid) + "/stat");
    const auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

// Waits up to 30 s for done().
template <class F>
bool WaitFor(F done) {
    for (int i = 0; i < 300 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return done();
}

// "vornik-config demo autonom" in the working directory, with its demo register.
struct TDemoRun {
    pid_t Config = -1;
    pid_t Sim = -1;
    bool Start() {
        const std::string program = JoinPath(ProgramDir(), "vornik-config");
        Sim = -1;
        Config = fork();
        if (Config == 0) {
            execl(program.c_str(), program.c_str(), "demo", "autonom", nullptr);
            _exit(127);
        }
        if (Config < 0) return false;
        // The simulator is the configurator's child; it is ready once its port link shows.
        return WaitFor([&] {
            for (const auto& e : std::filesystem::directory_iterator("/proc")) {
                const std::string stat = ReadBytes(e.path().string() + "/stat");
                const auto close = stat.rfind(')');
                if (close != std::string::npos && std::atoi(stat.c_str() + close + 4) == Config)
                    Sim = std::atoi(e.path().filename().c_str());
            }
            return Sim > 0 && DirExists("ports") && !std::filesystem::is_empty("ports");
        });
    }
    int Stop(int sig) {
        if (!SignalChild(Config, sig)) return -1;
        int status = -1;
        if (!WaitFor([&] { return WaitChild(Config, &status, WNOHANG) == Config; })) {
            SignalChild(Config, SIGKILL);
            WaitChild(Config, &status);
        }
        return status;
    }
};

}  // namespace

TEST_F(MainWindow, StartsWithTitlePagesAndStartMessage) {
    TfmMain w;
    w.FormCreate();
    EXPECT_EQ(S(w.windowTitle()), "Конфигуратор v2.01 ");
    ASSERT_EQ(w.MainPageControl()->count(), 3);
    EXPECT_EQ(S(w.MainPageControl()->tabText(0)), "Настройка ККМ");
    EXPECT_EQ(S(w.MainPageControl()->tabText(1)), "Товары и Услуги");
    EXPECT_EQ(S(w.MainPageControl()->tabText(2)), "Электронный журнал");
    ASSERT_GE(w.Console()->LineCount(), 1);
    EXPECT_TRUE(w.Console()->LineText(0).endsWith("Старт"));
    EXPECT_NE(ReadCp1251(dir.File("vornik-config.log")).find("Старт"), std::string::npos);
    EXPECT_TRUE(DirExists(dir.File("bd")));
    EXPECT_EQ(S(w.eBdFile()->text()), "goods.dbf");
}

TEST_F(MainWindow, ClosingWritesStopAndTheSettingsFileWithDefaults) {
    {
        TfmMain w;
        w.FormCreate();
        w.show();
        ProcessFor(50);
        EXPECT_EQ(w.Console()->height(), 43);
        w.close();
        EXPECT_TRUE(w.Console()->LineText(w.Console()->LineCount() - 1).endsWith("Стоп"));
    }
    EXPECT_NE(ReadCp1251(dir.File("vornik-config.log")).find("Стоп"), std::string::npos);
    TIniFile ini(dir.File("VornikConfig.ini"));
    EXPECT_EQ(ini.ReadString("Port", "COMPort", ""), "1");
    EXPECT_EQ(ini.ReadString("Port", "Speed", ""), "19200");
    EXPECT_EQ(ini.ReadString("Port", "ReadTotalTimeoutConstant", ""), "250");
    EXPECT_EQ(ini.ReadString("Port", "ReadTotalTimeoutMultiplier", ""), "9");
    EXPECT_EQ(ini.ReadString("Port", "ReadIntervalTimeout", ""), "6");
    EXPECT_EQ(ini.ReadString("Port", "WriteTotalTimeoutConstant", ""), "100");
    EXPECT_EQ(ini.ReadString("Port", "WriteTotalTimeoutMultiplier", ""), "15");
    EXPECT_EQ(ini.ReadString("NET", "NUMBER", ""), "1");
    EXPECT_EQ(ini.ReadString("Exchange", "DBFFile", ""), "goods.dbf");
    EXPECT_EQ(ini.ReadString("Window", "ConsoleHeight", ""), "43");
}

TEST_F(MainWindow, SettingsComeFromTheWorkingDirectory) {
    WriteBytes(dir.File("VornikConfig.ini"), "[Exchange]\r\nDBFFile=/tmp/x.dbf\r\n[Window]\r\nConsoleHeight=120\r\n");
    {
        TfmMain w;
        w.FormCreate();
        EXPECT_EQ(S(w.eBdFile()->text()), "/tmp/x.dbf");
        w.eBdFile()->setText("other.dbf");
        w.resize(786, 800);  // the console takes room the pages do not need
        w.show();
        ProcessFor(50);
        EXPECT_EQ(w.Console()->height(), 120);
        // The operator drags the console 60 pixels taller.
        QWidget* handle = w.ConsoleSplitter()->handle(1);
        const QPointF at(handle->width() / 2.0, handle->height() / 2.0);
        const auto drag = [&](QEvent::Type type, QPointF pos, Qt::MouseButtons buttons) {
            QMouseEvent e(type, pos, handle->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(handle, &e);
        };
        drag(QEvent::MouseButtonPress, at, Qt::LeftButton);
        drag(QEvent::MouseMove, at + QPointF(0, 60), Qt::LeftButton);
        drag(QEvent::MouseButtonRelease, at + QPointF(0, 60), Qt::NoButton);
        EXPECT_EQ(w.Console()->height(), 180);
    }
    TIniFile ini(dir.File("VornikConfig.ini"));
    EXPECT_EQ(ini.ReadString("Exchange", "DBFFile", ""), "other.dbf");
    EXPECT_EQ(ini.ReadString("Window", "ConsoleHeight", ""), "180");
}

TEST_F(MainWindow, AtTheStartingSizeTheConsoleGrowsAndThePlaceIsKept) {
    {
        TfmMain w;
        w.FormCreate();
        w.show();
        ProcessFor(50);
        ASSERT_EQ(w.size(), QSize(786, 561));
        EXPECT_LT(w.minimumSizeHint().height(), 561 - 100) << "the pages leave the console room";
        QWidget* handle = w.ConsoleSplitter()->handle(1);
        const QPointF at(handle->width() / 2.0, handle->height() / 2.0);
        for (const auto& [type, pos, buttons] :
             {std::tuple{QEvent::MouseButtonPress, at, Qt::MouseButtons(Qt::LeftButton)},
              std::tuple{QEvent::MouseMove, at + QPointF(0, 60), Qt::MouseButtons(Qt::LeftButton)},
              std::tuple{QEvent::MouseButtonRelease, at + QPointF(0, 60), Qt::MouseButtons(Qt::NoButton)}}) {
            QMouseEvent e(type, pos, handle->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(handle, &e);
        }
        EXPECT_EQ(w.Console()->height(), 103);
        EXPECT_EQ(w.height(), 561);
        w.setGeometry(40, 30, 800, 520);
        w.close();
    }
    TIniFile ini(dir.File("VornikConfig.ini"));
    EXPECT_EQ(ini.ReadString("Window", "Width", ""), "800");
    EXPECT_EQ(ini.ReadString("Window", "Height", ""), "520");
    EXPECT_EQ(ini.ReadString("Window", "Maximized", ""), "0");
    {
        TfmMain w;
        w.FormCreate();
        EXPECT_EQ(w.geometry(), QRect(40, 30, 800, 520));
        w.showMaximized();
        ProcessFor(50);
        w.close();
    }
    TIniFile after(dir.File("VornikConfig.ini"));
    EXPECT_EQ(after.ReadString("Window", "Maximized", ""), "1");
    EXPECT_EQ(after.ReadString("Window", "Width", ""), "800") << "the size it comes back to";
    TfmMain w;
    w.FormCreate();
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
}

TEST_F(MainWindow, SettingsThatCannotBeSavedAtCloseAreAllNamedInOneBox) {
    std::filesystem::create_directory(dir.File("VornikConfig.ini"));  // no file can replace it, not even root's
    std::vector<std::string> shown;
    {
        TfmMain w;
        w.FormCreate();
        TBoxRecorder boxes;
        w.show();
        w.close();
        shown = boxes.Boxes;
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("Настройки не сохранены (Port, NET, Exchange, Window): Unable to write to " +
                                 dir.File("VornikConfig.ini"),
                             0),
              0u)
        << shown[0];
    EXPECT_NE(ReadCp1251(dir.File("vornik-config.log")).find("Стоп"), std::string::npos);
}

TEST_F(MainWindow, StopSignalsCloseInOrderAndTheDemoRegisterNeverOutlivesTheWindow) {
    const std::string log = JoinPath(ProgramDir(), "vornik-config.log");  // the child's, beside the program
    const std::size_t logStart = ReadBytes(log).size();
    TDemoRun run;
    ASSERT_TRUE(run.Start()) << "vornik-config demo did not start its register";
    const int status = run.Stop(SIGTERM);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(Running(run.Sim));
    EXPECT_TRUE(std::filesystem::is_empty("ports")) << "the demo register removed its port link";
    const std::string written = Cp1251ToUtf8(ReadBytes(log).substr(logStart));
    EXPECT_NE(written.find("SIGTERM"), std::string::npos) << written;
    EXPECT_NE(written.find("Стоп"), std::string::npos) << written;
    TIniFile ini(dir.File("VornikConfig.ini"));
    EXPECT_EQ(ini.ReadString("Port", "COMPort", ""), "1") << "the settings' own port, not the demo register's";
    EXPECT_EQ(ini.ReadString("Exchange", "DBFFile", ""), "goods.dbf");

    EXPECT_NE(ReadBytes(dir.File("demo-register.json")).find("\"mode\": 2"), std::string::npos)
        << "the demo register is OFF-LINE, where goods are written too";

    // Killed without a chance to close, the configurator still takes its register along.
    std::filesystem::remove(dir.File("demo-register.json"));
    ASSERT_TRUE(run.Start());
    run.Stop(SIGKILL);
    EXPECT_TRUE(WaitFor([&] { return !Running(run.Sim); }));
    EXPECT_TRUE(FileExists(dir.File("demo-register.json"))) << "the register ended in order, keeping its state";
}

TEST_F(MainWindow, HardwareDepthSwitchesTheConsoleOff) {
    MessDepth = mdHardWare;
    TfmMain w;
    w.FormCreate();
    ASSERT_EQ(w.Console()->LineCount(), 3);
    EXPECT_EQ(S(w.Console()->LineText(0)), "Программа находится в режиме mdHardWare");
    EXPECT_EQ(S(w.Console()->LineText(1)), "Консоль отключена и все сообщения выводятся");
    EXPECT_EQ(S(w.Console()->LineText(2)), "ТОЛЬКО в LOG ФАЙЛ");
    Error("только в лог", false, true, true);
    EXPECT_EQ(w.Console()->LineCount(), 3);
    EXPECT_NE(ReadCp1251(dir.File("vornik-config.log")).find("Error:только в лог"), std::string::npos);
}

TEST_F(MainWindow, ConsoleHoldsAtMostAHundredLines) {
    TfmMain w;
    w.FormCreate();
    for (int i = 1; i <= 150; ++i) Mess("строка " + std::to_string(i), false, true, false);
    EXPECT_EQ(w.Console()->LineCount(), 100);
    EXPECT_TRUE(w.Console()->LineText(99).endsWith("строка 150"));
    EXPECT_TRUE(w.Console()->LineText(0).endsWith("строка 51"));
}

TEST_F(MainWindow, ALongLineLeavesTheConsoleAtItsLeftEdge) {
    TfmMain w;
    w.FormCreate();
    w.show();
    ProcessFor(50);
    TConsolePanel* c = w.Console();
    Error("Данные не считаны из DBF файла: " + std::string(400, 'x') + " конец", false, true, false);
    Mess("короткая строка", false, true, false);
    ProcessFor(20);
    EXPECT_EQ(c->horizontalScrollBar()->value(), 0);
    const QRect start = c->cursorRect(QTextCursor(c->document()->lastBlock()));
    EXPECT_TRUE(c->viewport()->rect().contains(start.center())) << "the newest line shows from its time stamp";
    // A line longer than the console wraps: its start stays in sight too.
    Mess(std::string(600, 'y'), false, true, false);
    ProcessFor(20);
    EXPECT_TRUE(c->viewport()->rect().contains(c->cursorRect(QTextCursor(c->document()->lastBlock())).center()));
}

TEST_F(MainWindow, TheRecordedLanguageIsInForceAtStartUp) {
    TScratchDir data;
    std::filesystem::create_directories(data.File("lang"));
    std::filesystem::copy_file(JoinPath(DataDir(), "lang/English.lng"), data.File("lang/English.lng"));
    SetDataDir(data.Path());
    {
        TfmMain w;
        w.FormCreate();
        EXPECT_EQ(S(w.LanguageSelector()->currentText()), "Русский") << "the selector is never blank";
        EXPECT_EQ(S(QCoreApplication::translate("QPlatformTheme", "Cancel")), "Отмена") << "Qt's own buttons too";
    }
    WriteBytes(dir.File("lang.ini"), "[MAIN]\r\nCurLang=English\r\n");
    TfmMain w;
    w.FormCreate();
    EXPECT_EQ(S(w.windowTitle()), "Configurator v2.01 ");
    EXPECT_EQ(S(w.LanguageSelector()->currentText()), "English");
    EXPECT_EQ(S(QCoreApplication::translate("QPlatformTheme", "Cancel")), "Cancel");
    w.LanguageSelector()->setCurrentIndex(0);
    EXPECT_EQ(S(w.windowTitle()), "Конфигуратор v2.01 ");
    EXPECT_EQ(S(QCoreApplication::translate("QPlatformTheme", "Cancel")), "Отмена");
    LangRes().SetDefaults();
}

TEST_F(MainWindow, LanguageChoiceWorksWhereTheDataFolderCannotBeWritten) {
    // As in an installed program, lang.ini of the data folder cannot be
    // written: here a folder takes its name, which stops root as well.
    TScratchDir data;
    std::filesystem::create_directories(data.File("lang/lang.ini"));
    ASSERT_TRUE(FileExists(JoinPath(DataDir(), "lang/English.lng"))) << "the English language file ships beside the program";
    std::filesystem::copy_file(JoinPath(DataDir(), "lang/English.lng"), data.File("lang/English.lng"));
    SetDataDir(data.Path());
    TfmMain w;
    w.FormCreate();
    QComboBox* selector = w.LanguageSelector();
    ASSERT_EQ(selector->count(), 2);
    EXPECT_EQ(S(selector->itemText(0)), "Русский");
    EXPECT_EQ(S(selector->itemText(1)), "English");
    TBoxRecorder boxes;
    selector->setCurrentIndex(1);
    EXPECT_EQ(S(w.windowTitle()), "Configurator v2.01 ");
    EXPECT_TRUE(w.Console()->LineText(w.Console()->LineCount() - 1).endsWith("Lang:English"));
    EXPECT_EQ(TIniFile(dir.File("lang.ini")).ReadString("MAIN", "CurLang", ""), "English") << "kept in the working directory";
    EXPECT_TRUE(boxes.Boxes.empty());

    // Where neither can be written a box says so, and the built-in texts come back all the same.
    std::filesystem::remove(dir.File("lang.ini"));
    std::filesystem::create_directory(dir.File("lang.ini"));
    selector->setCurrentIndex(0);
    EXPECT_EQ(S(w.windowTitle()), "Конфигуратор v2.01 ");
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_NE(boxes.Boxes[0].find("Unable to write to " + dir.File("lang.ini")), std::string::npos) << boxes.Boxes[0];
    LangRes().SetDefaults();
}

TEST_F(MainWindow, PagesCannotChangeDuringATransfer) {
    TfmMain w;
    w.FormCreate();
    w.Transfer.TransferRunning = true;
    w.MainPageControl()->setCurrentIndex(1);
    EXPECT_EQ(w.MainPageControl()->currentIndex(), 0);
    w.PageSelector()->PressPanel(2);
    EXPECT_EQ(w.MainPageControl()->currentIndex(), 0);
    EXPECT_EQ(w.PageSelector()->Selected(), 0);
    w.Transfer.End();
    w.PageSelector()->PressPanel(2);
    EXPECT_EQ(w.MainPageControl()->currentIndex(), 2);
    w.MainPageControl()->setCurrentIndex(1);
    EXPECT_EQ(w.PageSelector()->Selected(), 1);
    // The open page stands out in any style.
    const auto colour = [&](int i) { return w.PageSelector()->findChild<QWidget*>(QString("pnlPage%1").arg(i))->palette().color(QPalette::Window); };
    EXPECT_NE(colour(1), colour(0));
    EXPECT_EQ(colour(0), colour(2));
}
