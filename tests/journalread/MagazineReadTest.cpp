// The journal read against the simulated register: packets to source lines
// and receipt text, the end of the journal, register errors, the stop between
// packets, and a failed exchange.
#include "JournalReadRig.h"

#include "journal/MagazineRender.h"

namespace {

std::string Lines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines) s += std::string(l) + "\r\n";
    return s;
}

}  // namespace

TEST(MagazineRead, ThreeRecordsInAPacketGiveThreeLinesAndThreePositions) {
    TJournalReadRig rig;
    rig.Journal({Cat({Header(0), SumRec(0xA1, 1, "1500", "1000", 2, 3), PiRec(0xB5, 2, "1500"),
                      CloseRec(1, "7", {0x01, 0x02, 0x03}, {0x10, 0x00}, 0x4B, 1)}),
                 Header(9)});
    std::vector<int> positionsSeen;
    rig.View.OnLines = [&] { positionsSeen.push_back(rig.Transfer.TransferPos); };

    EXPECT_EQ(rig.Reader.Read(), TMagazineReadResult::Loaded);

    ASSERT_EQ(rig.JournalRequests().size(), 1u);
    EXPECT_EQ(rig.JournalRequests()[0], (TSimRequest{0x01, 0x0F, 0x00, 0x00}));
    EXPECT_EQ(rig.View.Source, Lines({"A1;1;1500;1000;2;3", "B5;2;1500", "CA;1;7;01.02.03;10:00;F;1"}));
    EXPECT_EQ(rig.View.Text, MagOperToText("A1;1;1500;1000;2;3") + "\r\n" + MagOperToText("B5;2;1500") + "\r\n" +
                                 MagOperToText("CA;1;7;01.02.03;10:00;F;1") + "\r\n");
    EXPECT_EQ(positionsSeen, (std::vector<int>{3}));
    EXPECT_EQ(rig.View.Clears, 1);
    EXPECT_EQ(rig.View.Captions, (std::vector<std::string>{"Остановить", "Считать из ККМ"}));
    EXPECT_TRUE(rig.Logged("Загружаем ОТЧЕТ..."));
    EXPECT_TRUE(rig.Logged("ОТЧЕТ загружен"));
    EXPECT_FALSE(rig.Transfer.TransferRunning);
    EXPECT_EQ(rig.Transfer.TransferPos, 0);
    EXPECT_FALSE(rig.Transfer.StopRequested);
    EXPECT_FALSE(rig.Session.Protocol.OnData);
    // The end packet is acknowledged without the continuation bit.
    EXPECT_GE(rig.ComputerSent(kkmlink::ACK), 1);
}

TEST(MagazineRead, AnEmptyJournalEndsAtOnceAndClearsTheOldText) {
    TJournalReadRig rig;
    rig.View.Source = "old\r\n";
    rig.View.Text = "old\r\n";
    rig.Journal({Header(9)});
    EXPECT_EQ(rig.Reader.Read(), TMagazineReadResult::Loaded);
    EXPECT_EQ(rig.View.Source, "");
    EXPECT_EQ(rig.View.Text, "");
    EXPECT_TRUE(rig.View.Positions.empty());
    EXPECT_TRUE(rig.Logged("ОТЧЕТ загружен"));
    EXPECT_FALSE(rig.Logged("Нет ошибок"));
}

TEST(MagazineRead, RecordsCutByPacketBoundariesArriveWhole) {
    // The worked receipt twice in packets of 7 journal bytes: nearly every
    // record is cut at least once.
    TJournalReadRig rig;
    const TBytes journal = Cat({WorkedReceipt(), WorkedReceipt()});
    auto packets = Packets(journal, 7);
    packets.push_back(Header(9));
    rig.Journal(packets);
    EXPECT_EQ(rig.Reader.Read(), TMagazineReadResult::Loaded);
    const std::string lines = std::string(WorkedReceiptLines()) + WorkedReceiptLines();
    EXPECT_EQ(rig.View.Source, lines);
    EXPECT_EQ(rig.View.Text, MagazineSourceToText(lines));
    EXPECT_TRUE(rig.View.Text.starts_with(
        "\r\n*********************************************************************\r\n\r\n"
        "--------------------\r\n1 СК           25.00 // 1.пр. по коду:12   2x12.50         налог.гр.1\r\n"));
    // Every packet's lines were counted as they arrived.
    ASSERT_FALSE(rig.View.Positions.empty());
    EXPECT_EQ(rig.View.Positions.back(), 10);
}

TEST(MagazineRead, ARecordStillCutAtTheEndOfTheJournalIsKeptAsItsBytes) {
    TJournalReadRig rig;
    rig.Journal({Cat({Header(0), PiRec(0xB5, 2, "2500"), TBytes{0xC1, 0x03, 0x01}})});
    EXPECT_EQ(rig.Reader.Read(), TMagazineReadResult::Loaded);
    EXPECT_EQ(rig.View.Source, Lines({"B5;2;2500", "C10301"}));
    EXPECT_EQ(rig.View.Positions, (std::vector<int>{1, 2}));
}

TEST(MagazineRead, ARegisterErrorIsShownAndItsPacketStillDecoded) {
    TJournalReadRig rig;
    rig.Journal({Cat({Header(0), PiRec(0xB5, 1, "100")}), Cat({Header(18), PiRec(0xB5, 2, "200")}),
                 Cat({Header(0), PiRec(0xB5, 3, "300")}), Header(9)});
    EXPECT_EQ(rig.Reader.Read(), TMagazineReadResult::Loaded);
    EXPECT_TRUE(rig.Logged("Error:Критическая ошибка в ЭЖ"));
    EXPECT_EQ(rig.View.Source, Lines({"B5;1;100", "B5;2;200", "B5;3;300"}));
    EXPECT_TRUE(rig.Logged("ОТЧЕТ загружен"));
}

TEST(MagazineRead, AStopBetweenPacketsSendsDiscAndKeepsWhatArrived) {
    TJournalReadRig rig;
    std::vector<TBytes> packets;
    for (int i = 1; i <= 8; ++i) packets.push_back(Cat({Header(0), PiRec(0xB5, i, std::to_string(i * 100))}));
    packets.push_back(Header(9));
    rig.Journal(packets);
    // The operator presses the read button again while the second packet is
    // handled: the press reaches the page when the handler lets the window work.
    int pumps = 0;
    TMagazineReadResult pressed{};
    AppHooks().ProcessEvents = [&] {
        if (rig.Transfer.TransferRunning && rig.View.Positions.size() == 1 && ++pumps == 1) pressed = rig.Reader.Read();
    };

    EXPECT_EQ(rig.Reader.Read(), TMagazineReadResult::Partial);

    EXPECT_EQ(pressed, TMagazineReadResult::StopAsked);
    EXPECT_EQ(rig.View.Clears, 1) << "the stop press started no second read";
    EXPECT_EQ(rig.View.Source, Lines({"B5;1;100", "B5;2;200"})) << "the packet in hand is still shown";
    EXPECT_EQ(rig.ComputerSent(kkmlink::DISC), 1);
    EXPECT_TRUE(rig.Logged("Warning:ОТЧЕТ частично загружен"));
    EXPECT_FALSE(rig.Logged("ОТЧЕТ загружен"));
    EXPECT_FALSE(rig.Transfer.StopRequested);
    EXPECT_FALSE(rig.Transfer.TransferRunning);
    EXPECT_EQ(rig.View.Captions.back(), "Считать из ККМ");

    // The next read starts afresh.
    AppHooks() = {};
    rig.Journal({Cat({Header(0), PiRec(0xB5, 9, "900")}), Header(9)});
    EXPECT_EQ(rig.Reader.Read(), TMagazineReadResult::Loaded);
    EXPECT_EQ(rig.View.Source, Lines({"B5;9;900"}));
}

// The application closes while the first packet is shown: the next packet
// still arrives whole, then the register is told to stop.
TEST(MagazineRead, ClosingTheApplicationEndsTheStream) {
    TJournalReadRig rig;
    rig.Journal({Cat({Header(0), PiRec(0xB5, 1, "100")}), Cat({Header(0), PiRec(0xB5, 2, "200")}),
                 Cat({Header(0), PiRec(0xB5, 3, "300")}), Header(9)});
    bool closing = false;
    AppHooks().Terminating = [&] { return closing; };
    rig.View.OnLines = [&] { closing = true; };
    rig.Reader.Read();
    EXPECT_EQ(rig.View.Source, Lines({"B5;1;100", "B5;2;200"}));
    EXPECT_EQ(rig.ComputerSent(kkmlink::DISC), 1);
    EXPECT_FALSE(rig.Transfer.TransferRunning);
}

TEST(MagazineRead, AFailedExchangeIsReportedAndTheTransferEnds) {
    TJournalReadRig rig;
    rig.Journal({Header(9)});
    TSimFault silent;
    silent.Kind = TSimFaultKind::Silent;
    silent.Nth = 1;
    rig.Sim->AddFault(silent);
    rig.View.Text = "old\r\n";
    EXPECT_EQ(rig.Reader.Read(), TMagazineReadResult::Failed);
    EXPECT_TRUE(rig.Logged("Error:Сбой при загрузке ОТЧЕТА"));
    EXPECT_EQ(rig.View.Text, "");
    EXPECT_FALSE(rig.Transfer.TransferRunning);
    EXPECT_EQ(rig.View.Captions.back(), "Считать из ККМ");
}

TEST(MagazineRead, WithoutARegisterNothingChanges) {
    TJournalReadRig rig;
    rig.Session.ComPort.Close();
    rig.Session.ComPort.SetDevicePath(rig.dir.File("no-such-device"));
    rig.View.Text = "old\r\n";
    EXPECT_EQ(rig.Reader.Read(), TMagazineReadResult::NotConnected);
    EXPECT_TRUE(rig.Logged("Не удалось подключиться!"));
    EXPECT_EQ(rig.View.Text, "old\r\n");
    EXPECT_EQ(rig.View.Clears, 0);
    EXPECT_TRUE(rig.View.Captions.empty());
    EXPECT_FALSE(rig.Logged("Загружаем ОТЧЕТ..."));
}

TEST(MagazineRead, APressDuringAnotherTransferOnlyAsksItToStop) {
    TJournalReadRig rig;
    rig.Transfer.Begin();  // a goods transfer runs
    rig.Sim->ClearHistory();
    EXPECT_EQ(rig.Reader.Read(), TMagazineReadResult::StopAsked);
    EXPECT_TRUE(rig.Transfer.StopRequested);
    EXPECT_TRUE(rig.Transfer.TransferRunning);
    EXPECT_EQ(rig.View.Clears, 0);
    EXPECT_TRUE(rig.Sim->History().empty());
}
