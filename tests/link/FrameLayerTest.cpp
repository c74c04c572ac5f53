// Control frames and data blocks as they cross a real pseudo-terminal.
#include "LinkTestSupport.h"

using namespace linktest;

TEST(FrameLayer, ControlFramesOnTheWire) {
    TScriptedLine s;
    s.Kkm.NetNumber = 1;
    EXPECT_EQ(s.Link.SendControl(0xC5), 0);
    EXPECT_EQ(s.Take(50), (Bytes{0x7F, 0x02, 0x01, 0xC5, 0x3A}));
    EXPECT_EQ(s.Link.SendControl(0xC0), 0);  // DISC: a 50 ms pause follows
    EXPECT_EQ(s.Take(50), (Bytes{0x7F, 0x02, 0x01, 0xC0, 0x3F}));
    EXPECT_EQ(s.Link.LastSent, 0xC0);

    s.Kkm.NetNumber = 12;
    s.Kkm.RxSeq = 5;
    s.Kkm.TxSeq = 6;
    EXPECT_EQ(s.Link.SendControl(0xCC), 0);
    EXPECT_EQ(s.Take(50), (Bytes{0x7F, 0x02, 0x12, 0xCC, 0x22}));
    EXPECT_EQ(s.Kkm.RxSeq, 0);
    EXPECT_EQ(s.Kkm.TxSeq, 0);
}

TEST(FrameLayer, NetworkNumberOutsideRangeSendsNothing) {
    TScriptedLine s;
    for (int net : {0, 99}) {
        s.Kkm.NetNumber = static_cast<std::uint8_t>(net);
        EXPECT_EQ(s.Link.SendControl(0xC5), 29);
        EXPECT_EQ(s.Link.LastSent, 0xC5);
    }
    EXPECT_TRUE(s.Take(50).empty());
}

TEST(FrameLayer, ReceivedControlFramesAreCheckedInOrder) {
    TScriptedLine s;
    std::uint8_t c = 0;
    s.Put({0x7F, 0x02, 0x01, 0xC5, 0x3B});  // bad checksum
    EXPECT_EQ(s.Link.ReceiveControl(c), 31);
    s.Put({0x7F, 0x02, 0x02, 0xC5, 0x39});  // another register, checksum right
    EXPECT_EQ(s.Link.ReceiveControl(c), 3);
    s.Put({0x7E, 0x02, 0x01, 0xC5, 0x3A});  // bad header
    EXPECT_EQ(s.Link.ReceiveControl(c), 3);

    s.Kkm.RxSeq = 4;
    s.Kkm.TxSeq = 2;
    s.Put({0x7F, 0x02, 0x01, 0xEC, 0x13});  // SYN from the register
    EXPECT_EQ(s.Link.ReceiveControl(c), 0);
    EXPECT_EQ(c, 0xEC);
    EXPECT_EQ(s.Kkm.RxSeq, 0);
    EXPECT_EQ(s.Kkm.TxSeq, 0);

    s.Put({0x7F, 0x02});  // cut short
    EXPECT_EQ(s.Link.ReceiveControl(c), 32);
}

TEST(FrameLayer, DataBlocksAreEscapedAndSummed) {
    TScriptedLine s;
    const Bytes abc{'a', 'b', 'c'};
    EXPECT_EQ(s.Link.SendDataBlock(abc.data(), 3), 0);
    EXPECT_EQ(s.Take(50), (Bytes{0x00, 0x61, 0x62, 0x63, 0x7F, 0x03, 0xDA}));
    const Bytes esc{0x7F, 0x01};
    EXPECT_EQ(s.Link.SendDataBlock(esc.data(), 2), 0);
    EXPECT_EQ(s.Take(50), (Bytes{0x00, 0x7F, 0x10, 0x01, 0x7F, 0x03, 0x80}));
    const Bytes info{0x01, 0x01};
    EXPECT_EQ(s.Link.SendDataBlock(info.data(), 2), 0);
    EXPECT_EQ(s.Take(50), (Bytes{0x00, 0x01, 0x01, 0x7F, 0x03, 0xFE}));
}

TEST(FrameLayer, ARequestOfMoreThan256BytesIsCut) {
    TScriptedLine s;
    Bytes big(300);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i % 100 + 1);
    EXPECT_EQ(s.Link.SendDataBlock(big.data(), 300), 0);
    const Bytes wire = s.Take(100);
    ASSERT_EQ(wire.size(), 1u + 256 + 3);
    EXPECT_EQ(Bytes(wire.begin() + 1, wire.begin() + 257), Bytes(big.begin(), big.begin() + 256));
    EXPECT_EQ(wire[257], 0x7F);
    EXPECT_EQ(wire[258], 0x03);
    EXPECT_EQ(wire[259], kkmlink::BlockChecksum(big.data(), 256));
}

TEST(FrameLayer, ReceivedBlocksAreUnescapedWhateverTheLeadByte) {
    TScriptedLine s;
    std::uint8_t buf[256];
    int n = -1;
    s.Put({0x00, 0x7F, 0x10, 0x7F, 0x10, 0x7F, 0x03, 0x02});
    EXPECT_EQ(s.Link.ReceiveDataBlock(buf, 256, n), 0);
    EXPECT_EQ(Bytes(buf, buf + n), (Bytes{0x7F, 0x7F}));

    s.Put({0xAB, 0x61, 0x62, 0x63, 0x7F, 0x03, 0xDA});
    EXPECT_EQ(s.Link.ReceiveDataBlock(buf, 256, n), 0);
    EXPECT_EQ(n, 3);

    s.Put({0x00, 0x7F, 0x11});
    EXPECT_EQ(s.Link.ReceiveDataBlock(buf, 256, n), 3);

    s.Put({0x00, 0x61, 0x62, 0x63, 0x7F, 0x03, 0xDB});
    EXPECT_EQ(s.Link.ReceiveDataBlock(buf, 256, n), 31);
    EXPECT_EQ(n, 0);

    s.Put({0x00, 0x61, 0x62});  // the line goes quiet
    EXPECT_EQ(s.Link.ReceiveDataBlock(buf, 256, n), 32);
}

TEST(FrameLayer, AReceivedBlockHoldsAtMost255DataBytes) {
    TScriptedLine s;
    std::uint8_t buf[256];
    int n = 0;
    Bytes data(255, 0x41);
    s.Put(kkmlink::BuildDataBlock(data.data(), 255));
    EXPECT_EQ(s.Link.ReceiveDataBlock(buf, 256, n), 0);
    EXPECT_EQ(n, 255);

    data.push_back(0x41);
    s.Put(kkmlink::BuildDataBlock(data.data(), 256));  // with its end mark
    EXPECT_EQ(s.Link.ReceiveDataBlock(buf, 256, n), 28);
    s.Take(30);
    s.Port.Close();
    ASSERT_TRUE(s.Port.Open());  // drop the rest of that block
    Bytes noEnd{0x00};
    noEnd.insert(noEnd.end(), 256, 0x41);
    s.Put(noEnd);
    EXPECT_EQ(s.Link.ReceiveDataBlock(buf, 256, n), 28);
}

TEST(FrameLayer, DataFrameCarriesSequenceAndFlag) {
    TScriptedLine s;
    s.Kkm.TxSeq = 11;  // only the low three bits go on the wire
    const TKKMPacket r = Request({0x01, 0x01});
    EXPECT_EQ(s.Link.SendDataFrame(r, true), 0);
    EXPECT_EQ(s.Take(50), Concat({Frame(1, 0x93), Bytes{0x00, 0x01, 0x01, 0x7F, 0x03, 0xFE}}));
    EXPECT_EQ(s.Link.SendDataFrame(r, false), 0);
    EXPECT_EQ(s.Take(50)[3], 0x83);
    EXPECT_EQ(s.Kkm.TxSeq, 11);  // advanced by the exchange, not here
}

TEST(FrameLayer, FrameKindTexts) {
    EXPECT_EQ(FrameKindText(0xC5), "RDY  ПК->ККМ синх. ");
    EXPECT_EQ(FrameKindText(0xDA), "ACK  ПК->ККМ асинх.");
    EXPECT_EQ(FrameKindText(0xB3), "DATA ПК<-ККМ асинх.");
    EXPECT_EQ(FrameKindText(0xE6), "???ПК<-ККМ синх. ");
    EXPECT_EQ(FrameKindText(0xC0), "DISC ПК->ККМ синх. ");
    EXPECT_EQ(FrameKindText(0xEF), "RST  ПК<-ККМ синх. ");
    EXPECT_EQ(FrameKindText(0xC1), "???ПК->ККМ синх. ");
}

TEST(FrameLayer, TracesOfFramesAndBlocks) {
    TLogCapture log;
    TScriptedLine s;
    s.Link.SendControl(0xC5);
    const Bytes abc{'a', 'b', 'c'};
    s.Link.SendDataBlock(abc.data(), 3);
    s.Put({0x7F, 0x02, 0x01, 0xEA, 0x15});
    std::uint8_t c = 0;
    s.Link.ReceiveControl(c);
    std::uint8_t buf[256];
    int n = 0;
    s.Put({0x00, 0x7F, 0x10, 0x01, 0x7F, 0x03, 0x80});
    s.Link.ReceiveDataBlock(buf, 256, n);
    const std::string text = log.Text();
    EXPECT_NE(text.find(" >RDY  ПК->ККМ синх.   ККМ=1\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" >data ПК->ККМ             size:3  :97,98,99\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" >ACK  ПК<-ККМ синх.   ККМ=1\r\n"), std::string::npos) << text;
    // The first bytes as sent, escape byte included; the received ones as stored.
    EXPECT_NE(text.find(" >data ПК<-ККМ             size:2  :127,1\r\n"), std::string::npos) << text;
    s.Link.SendDataBlock(buf, 2);
    EXPECT_NE(log.Text().find(" >data ПК->ККМ             size:2  :127,16,1\r\n"), std::string::npos);
}

TEST(FrameLayer, NothingIsTracedBelowTheDepth) {
    TLogCapture log(mdApplied);
    TScriptedLine s;
    s.Link.SendControl(0xC5);
    std::uint8_t c = 0;
    EXPECT_EQ(s.Link.ReceiveControl(c), 32);
    EXPECT_EQ(log.Text(), "");
}

TEST(ResultTexts, AnswerCodesAndResultCodes) {
    EXPECT_EQ(AnswerErrorText(0), "Нет ошибок");
    EXPECT_EQ(AnswerErrorText(16), "Неверный пароль при доступе к режим");
    EXPECT_EQ(AnswerErrorText(19), "Требуется регистрация на сервере");
    EXPECT_EQ(AnswerErrorText(25), "Неизвестная ошибка:25");
    EXPECT_EQ(ResultText(0), "Нет ошибок");
    EXPECT_EQ(ResultText(25), "ФР: не хватает наличных");
    EXPECT_EQ(ResultText(31), "bad CRC");
    EXPECT_EQ(ResultText(32), "TimeOut");
    EXPECT_EQ(ResultText(90), "ошибка фискальной памяти");
    EXPECT_EQ(ResultText(91), "конец данных");
    EXPECT_EQ(ResultText(99), "user-defined error");
    EXPECT_EQ(ResultText(33), "Неизвестная ошибка33");
    EXPECT_EQ(ResultText(-1), "Неизвестная ошибка-1");
}
