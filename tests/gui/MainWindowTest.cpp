#include "app/ConsolePanel.h"
#include "app/MainWindow.h"
#include "app/PageSelectorPanel.h"

#include "TestFiles.h"
#include "app/IniFile.h"
#include "app/QtText.h"
#include "lang/U_language.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSwitches();
        isAUTONOM = true;
        SetLogFileName(dir.File("vornik-config.log"));
    }
    void TearDown() override { ResetSwitches(); }
    TScratchDir dir{true};  // the working directory of the window
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
}

TEST_F(MainWindow, SettingsComeFromTheWorkingDirectory) {
    WriteBytes(dir.File("VornikConfig.ini"), "[Exchange]\r\nDBFFile=/tmp/x.dbf\r\n");
    {
        TfmMain w;
        w.FormCreate();
        EXPECT_EQ(S(w.eBdFile()->text()), "/tmp/x.dbf");
        w.eBdFile()->setText("other.dbf");
    }
    EXPECT_EQ(TIniFile(dir.File("VornikConfig.ini")).ReadString("Exchange", "DBFFile", ""), "other.dbf");
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

TEST_F(MainWindow, LanguageSelectorLoadsAFileAndRenewsTheTitle) {
    TfmMain w;
    w.FormCreate();
    const int english = w.LanguageSelector()->findText("English");
    ASSERT_GE(english, 0) << "the English language file ships beside the program";
    EXPECT_EQ(w.LanguageSelector()->currentIndex(), -1);
    w.LanguageSelector()->setCurrentIndex(english);
    EXPECT_EQ(S(w.windowTitle()), LangStr(3) + " v2.01 ");
    EXPECT_NE(S(w.windowTitle()), "Конфигуратор v2.01 ");
    EXPECT_TRUE(w.Console()->LineText(w.Console()->LineCount() - 1).endsWith("Lang:English"));
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
}
