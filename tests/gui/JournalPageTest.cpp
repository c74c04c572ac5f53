// The journal page in the main window, reading from the simulated register:
// the receipt text on screen, the hidden source lines, the stop between
// packets, and both save buttons.
#include "GuiRig.h"
#include "GuiTestUtil.h"

#include "journal/JournalPage.h"
#include "journal/JournalRecords.h"
#include "link/LinkFrames.h"

#include <QFontInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include <mutex>

namespace {

// The worked receipt as the page shows it (the first line is empty).
const char* const kWorkedReceiptText =
    "\n"
    "*********************************************************************\n"
    "\n"
    "--------------------\n"
    "1 СК           25.00 // 1.пр. по коду:12   2x12.50         налог.гр.1\n"
    "ПИ             25.00 // 2.сумма ПИ (ИТОГО)\n"
    "Нал.ст.1           25.00 // 3.0xС5 суммы по налоговым ставкам C1\n"
    "ИТОГ           25.00\n"
    "НАЛИЧНЫМИ      30.00\n"
    "СДАЧА           5.00\n"
    "--------------------\n"
    "05.03.07 14:22 ОП: 1 //Продажа\n"
    "ЧЕК:15     ФИСКАЛЬНЫЙ";

struct TJournalRig : TGuiRig {
    TJournalRig() {
        Window->MainPageControl()->setCurrentIndex(2);
        EXPECT_TRUE(Window->Session.ComPort.Open());
    }
    TJournalPage& Page() const { return *Window->JournalPage(); }
    // The register answers the journal request with these packets.
    void Journal(std::vector<TBytes> packets) {
        Sim->RegisterCommand(0x0F, [packets](TSimState&, const TSimRequest&) {
            return TSimFrames(packets.begin(), packets.end());
        });
    }
    int ComputerSent(std::uint8_t c) const {
        int n = 0;
        for (const auto& r : Sim->History())
            n += r.Incoming && !r.Block && r.Bytes.size() == 5 && r.Bytes[0] == 0x7F && r.Bytes[3] == c;
        return n;
    }
    std::string Text() const { return S(Page().MemoMagazine->toPlainText()); }
    std::string Source() const { return S(Page().MemoMagazineSource->toPlainText()); }
    std::string Caption() const { return S(Page().bLoadMagazineFromKKM->text()); }
};

}  // namespace

TEST(JournalPage, ControlsAndTheirLook) {
    TGuiRig rig(0);
    TJournalPage& p = *rig.Window->JournalPage();
    EXPECT_EQ(rig.Window->MainPageControl()->indexOf(&p), 2);
    EXPECT_EQ(S(p.bLoadMagazineFromKKM->text()), "Считать все из ККМ");
    EXPECT_TRUE(p.bLoadMagazineFromKKM->font().bold());
    EXPECT_EQ(S(p.bMagazineToFile->text()), "Сохранить текст в файл");
    EXPECT_EQ(S(p.bSave->text()), "Сохранить данные в файл");
    EXPECT_FALSE(p.bSave->font().bold());

    EXPECT_EQ(p.MemoMagazine->font().pixelSize(), 13);
    EXPECT_TRUE(QFontInfo(p.MemoMagazine->font()).fixedPitch());
    EXPECT_EQ(p.MemoMagazine->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(p.MemoMagazine->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_FALSE(p.MemoMagazine->isReadOnly());
    EXPECT_EQ(p.MemoMagazineSource->font().pixelSize(), 11);
    EXPECT_EQ(p.MemoMagazineSource->lineWrapMode(), QPlainTextEdit::NoWrap);

    rig.Window->resize(1000, 700);
    rig.Window->show();
    rig.Window->MainPageControl()->setCurrentIndex(2);
    ProcessFor(50);
    EXPECT_TRUE(p.MemoMagazine->isVisible());
    EXPECT_FALSE(p.MemoMagazineSource->isVisible());
    // The receipt text fills the page below the buttons.
    EXPECT_GT(p.MemoMagazine->height(), p.height() - 2 * p.bSave->height() - 30);
    EXPECT_GT(p.MemoMagazine->width(), p.width() - 30);
}

TEST(JournalPage, ReadShowsTheReceiptsAndKeepsTheSourceLines) {
    TJournalRig rig;
    // The receipt in two packets, the second record cut between them.
    const TBytes r = WorkedReceipt();
    rig.Journal({Cat({Header(0), TBytes(r.begin(), r.begin() + 24)}), Cat({Header(0), TBytes(r.begin() + 24, r.end())}),
                 Header(9)});
    rig.Page().bLoadMagazineFromKKM->click();

    EXPECT_EQ(rig.Text(), kWorkedReceiptText);
    EXPECT_EQ(rig.Source(),
              "A3;1;12;2000;1250;1;1\nB5;2;2500\nC1;3;1;2500\nC9;4;1;2500;3000\nCA;1;15;05.03.07;14:22;F;1");
    EXPECT_EQ(rig.Caption(), "Считать из ККМ");
    EXPECT_TRUE(rig.Logged("Загружаем ОТЧЕТ..."));
    EXPECT_TRUE(rig.Logged("ОТЧЕТ загружен"));
    EXPECT_FALSE(rig.Window->Transfer.TransferRunning);
}

TEST(JournalPage, ThreeRecordsInAPacketAddThreeLinesToEachText) {
    TJournalRig rig;
    rig.Journal({Cat({Header(0), PiRec(0xB5, 2, "2500"), TaxRec(0xC1, 3, 1, "2500"), TBytes{0xCB, 0x01, 0x00}}),
                 Header(9)});
    rig.Page().bLoadMagazineFromKKM->click();
    EXPECT_EQ(rig.Source(), "B5;2;2500\nC1;3;1;2500\nCB;1");
    EXPECT_EQ(rig.Page().MemoMagazine->blockCount(), 3);
    EXPECT_EQ(rig.Text(),
              "ПИ             25.00 // 2.сумма ПИ (ИТОГО)\n"
              "Нал.ст.1           25.00 // 3.0xС5 суммы по налоговым ставкам C1\n"
              "Повторный чек  ОП: 1");
}

TEST(JournalPage, AnEmptyJournalLeavesBothTextsEmpty) {
    TJournalRig rig;
    rig.Page().MemoMagazine->setPlainText("old");
    rig.Page().MemoMagazineSource->setPlainText("old");
    rig.Journal({Header(9)});
    rig.Page().bLoadMagazineFromKKM->click();
    EXPECT_EQ(rig.Text(), "");
    EXPECT_EQ(rig.Source(), "");
    EXPECT_TRUE(rig.Logged("ОТЧЕТ загружен"));
    EXPECT_EQ(rig.Caption(), "Считать из ККМ");
}

TEST(JournalPage, StopButtonEndsTheReadBetweenPackets) {
    TJournalRig rig;
    std::vector<TBytes> packets;
    for (int i = 1; i <= 6; ++i) packets.push_back(Cat({Header(0), PiRec(0xB5, i, std::to_string(i) + "00")}));
    packets.push_back(Header(9));
    rig.Journal(packets);

    // The operator presses "Остановить" once the first lines show, and tries
    // another page meanwhile.
    std::string captionWhileReading;
    int pageDuringRead = -1;
    QObject::connect(rig.Page().MemoMagazineSource, &QPlainTextEdit::textChanged, &rig.Page(), [&] {
        if (!captionWhileReading.empty() || rig.Page().MemoMagazineSource->toPlainText().isEmpty()) return;
        captionWhileReading = rig.Caption();
        QMetaObject::invokeMethod(rig.Page().bLoadMagazineFromKKM, "click", Qt::QueuedConnection);
        QMetaObject::invokeMethod(
            rig.Window.get(),
            [&] {
                rig.Window->MainPageControl()->setCurrentIndex(0);
                pageDuringRead = rig.Window->MainPageControl()->currentIndex();
            },
            Qt::QueuedConnection);
    });
    rig.Page().bLoadMagazineFromKKM->click();

    EXPECT_EQ(captionWhileReading, "Остановить");
    EXPECT_EQ(pageDuringRead, 2) << "no page change during the read";
    EXPECT_EQ(rig.ComputerSent(kkmlink::DISC), 1);
    EXPECT_TRUE(rig.Logged("ОТЧЕТ частично загружен"));
    EXPECT_FALSE(rig.Logged("ОТЧЕТ загружен"));
    EXPECT_EQ(rig.Source(), "B5;1;100\nB5;2;200") << "the packet in hand when the stop came is kept";
    EXPECT_EQ(rig.Page().MemoMagazine->blockCount(), 2);
    EXPECT_EQ(rig.Caption(), "Считать из ККМ");
    EXPECT_FALSE(rig.Window->Transfer.TransferRunning);
    EXPECT_FALSE(rig.Window->Transfer.StopRequested);

    // A new read works, and the page can change again.
    rig.Journal({Cat({Header(0), PiRec(0xB5, 1, "700")}), Header(9)});
    rig.Page().bLoadMagazineFromKKM->click();
    EXPECT_EQ(rig.Source(), "B5;1;700");
    rig.Window->MainPageControl()->setCurrentIndex(0);
    EXPECT_EQ(rig.Window->MainPageControl()->currentIndex(), 0);
}

TEST(JournalPage, DamagedLinesShowOneBoxAfterTheRead) {
    TJournalRig rig;
    // Fifty subtotals with a letter in their amount, in five packets, then one sound line.
    std::vector<TBytes> packets;
    for (int p = 0; p < 5; ++p) {
        TBytes packet = Header(0);
        for (int i = 1; i <= 10; ++i) packet = Cat({packet, PiRec(0xB5, i, "25:0")});
        packets.push_back(packet);
    }
    packets.push_back(Cat({Header(0), TBytes{0xCB, 0x01, 0x00}}));
    packets.push_back(Header(9));
    rig.Journal(packets);
    TBoxRecorder boxes;
    rig.Page().bLoadMagazineFromKKM->click();

    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0], "ошибка декодирования операций чека (строк: 50)");
    const QStringList lines = Q(rig.Text()).split('\n');
    ASSERT_EQ(lines.size(), 51);
    EXPECT_EQ(S(lines[0]), "B5;1;25A0 - ошибка!");
    EXPECT_EQ(S(lines[50]), "Повторный чек  ОП: 1");
    EXPECT_LT(rig.Log().find("ОТЧЕТ загружен"), rig.Log().find("(строк: 50)")) << "the box comes after the transfer";
}

TEST(JournalPage, BothSaveButtonsWriteCodePage1251WithCrLf) {
    TJournalRig rig;
    rig.Journal({Cat({Header(0), WorkedReceipt()}), Header(9)});
    rig.Page().bLoadMagazineFromKKM->click();
    // The operator's own note in the text is saved too.
    rig.Page().MemoMagazine->appendPlainText("проверено");

    const std::string textFile = rig.dir.File("журнал.txt");
    const std::string dataFile = rig.dir.File("data.txt");
    WriteBytes(dataFile, std::string(5000, 'z'));  // replaced, not appended to
    rig.Page().AskSaveFileName = [&] { return Q(textFile); };
    rig.Page().bMagazineToFile->click();
    rig.Page().AskSaveFileName = [&] { return Q(dataFile); };
    rig.Page().bSave->click();

    std::string expectedText;
    for (const QString& line : QString::fromUtf8(kWorkedReceiptText).split('\n'))
        expectedText += Utf8ToCp1251(S(line)) + "\r\n";
    expectedText += Utf8ToCp1251("проверено") + "\r\n";
    EXPECT_EQ(ReadBytes(textFile), expectedText);
    EXPECT_EQ(ReadBytes(textFile).substr(0, 4), "\r\n**");
    EXPECT_EQ(ReadBytes(dataFile), WorkedReceiptLines());

    // Cancelling the dialog writes nothing.
    rig.Page().AskSaveFileName = [] { return QString(); };
    rig.Page().bSave->click();
    EXPECT_EQ(ReadBytes(dataFile), WorkedReceiptLines());
}

TEST(JournalPage, AFileThatCannotBeWrittenIsReportedAndTheTextsStay) {
    TJournalRig rig;
    rig.Journal({Cat({Header(0), WorkedReceipt()}), Header(9)});
    rig.Page().bLoadMagazineFromKKM->click();
    const std::string text = rig.Text();
    const std::string source = rig.Source();
    const std::string path = rig.dir.File("missing/journal.txt");
    rig.Page().AskSaveFileName = [&] { return Q(path); };
    rig.Page().bMagazineToFile->click();
    rig.Page().bSave->click();
    EXPECT_TRUE(rig.Logged("Error:Не удалось записать файл " + path + ": No such file or directory"));
    EXPECT_FALSE(FileExists(path));
    EXPECT_EQ(rig.Text(), text);
    EXPECT_EQ(rig.Source(), source);
}

TEST(JournalPage, WithoutARegisterTheTextsStay) {
    TGuiRig rig(0, "[Port]\r\nCOMPort=250\r\n");
    TJournalPage& p = *rig.Window->JournalPage();
    p.MemoMagazine->setPlainText("old");
    p.bLoadMagazineFromKKM->click();
    EXPECT_TRUE(rig.Logged("Не удалось подключиться!"));
    EXPECT_EQ(S(p.MemoMagazine->toPlainText()), "old");
    EXPECT_EQ(S(p.bLoadMagazineFromKKM->text()), "Считать все из ККМ");
}

TEST(JournalPage, ConnectsFirstThenReadsTheRegistersOwnJournal) {
    TGuiRig rig;
    TSimState state = rig.Sim->State();
    state.Register.Journal = {CodeRec(0xA3, 1, "12", "2000", "1250", 1, 1), PiRec(0xB5, 2, "2500"),
                              TaxRec(0xC1, 3, 1, "2500"), NalichRec(4, 0, "2500", "3000"),
                              CloseRec(1, "15", {0x05, 0x03, 0x07}, {0x14, 0x22}, 0x4B, 1)};
    rig.Sim->SetState(state);
    TJournalPage& p = *rig.Window->JournalPage();
    ASSERT_FALSE(rig.Window->Session.IsConnected());
    p.bLoadMagazineFromKKM->click();
    EXPECT_TRUE(rig.Window->Session.IsConnected());
    EXPECT_TRUE(rig.Logged("Подключились!"));
    EXPECT_EQ(S(p.MemoMagazine->toPlainText()), kWorkedReceiptText);
    EXPECT_EQ(S(p.MemoMagazineSource->toPlainText()) + "\n", S(Q(WorkedReceiptLines()).remove('\r')));
    EXPECT_TRUE(rig.Logged("ОТЧЕТ загружен"));
}
