#include "journal/U_magazineoperation.h"

#include "journal/JournalRecords.h"
#include "link/U_protocolkkm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

std::string Decode(const TBytes& b) { return DecodeMagazinePacket(b.data(), static_cast<int>(b.size())); }

std::string Feed(TMagazineDecoder& d, const TBytes& b) { return d.Feed(b.data(), static_cast<int>(b.size())); }

}  // namespace

TEST(MagazineDecode, EndPacketWithoutRecordsGivesNothing) {
    EXPECT_EQ(Decode(Header(9)), "");
    EXPECT_EQ(Decode({}), "");
    EXPECT_EQ(DecodeMagazinePacket(nullptr, 5), "");
}

TEST(MagazineDecode, HeaderThenRecordsGiveOneLineEachInOrder) {
    const TBytes packet = Cat({Header(), CodeRec(0xA3, 1, "12", "2000", "1250", 1, 1),
                               CloseRec(1, "15", {0x05, 0x03, 0x07}, {0x14, 0x22}, 0x4B, 1)});
    EXPECT_EQ(Decode(packet), "A3;1;12;2000;1250;1;1\r\nCA;1;15;05.03.07;14:22;F;1\r\n");
}

TEST(MagazineDecode, WorkedReceiptGivesItsSourceLines) {
    EXPECT_EQ(Decode(Cat({Header(), WorkedReceipt()})), WorkedReceiptLines());
}

TEST(MagazineDecode, EveryRecordKindHasItsLayout) {
    const TBytes packet = Cat({
        SumRec(0xA1, 1, "1500", "1000", 2, 3),
        SkidkiRec(0xB1, 2, "500", "250", 1, 1),
        PiRec(0xB9, 3, "12345678901234"),
        TaxRec(0xC2, 4, 5, "100"),
        NalichRec(5, 2, "10000", "0"),
        {0xCB, 0x07, 0x00},
        {0xCC, 0x12, 0x00},
    });
    EXPECT_EQ(Decode(packet),
              "A1;1;1500;1000;2;3\r\n"
              "B1;2;500;250;1;1\r\n"
              "B9;3;12345678901234\r\n"
              "C2;4;5;100\r\n"
              "C9;5;3;10000;0\r\n"
              "CB;7\r\n"
              "CC;12\r\n");
}

TEST(MagazineDecode, FieldEdgeValues) {
    // Quantity 00 20 00 00 00 is 2000; an all-zero BCD price shows 0; a date
    // with an FF byte shows as an empty field; any fiscal byte but 4B is NF.
    TBytes sale = SumRec(0xA2, 1, "", "", 0, 0);
    sale[2] = 0x00;
    sale[3] = 0x20;
    EXPECT_EQ(Decode(sale), "A2;1;2000;0;0;0\r\n");
    EXPECT_EQ(Decode(CloseRec(2, "0", {0x05, 0xFF, 0x07}, {0x09, 0x05}, 0x4A, 3)), "CA;2;0;;09:05;NF;3\r\n");
    EXPECT_EQ(Decode(CloseRec(1, "1", {0x05, 0x03, 0x07}, {0xFF, 0xFF}, 0x00, 1)), "CA;1;1;05.03.07;;NF;1\r\n");
    // Receipt kind byte 0 shows 1; a bad BCD byte shows its letters.
    TBytes pay = NalichRec(1, 0, "100", "200");
    pay[3] = 0x0A;
    EXPECT_EQ(Decode(pay), "C9;1;1;10A;200\r\n");
    EXPECT_EQ(Decode(SumRec(0xAC, 255, "1", "1", 1, 200)), "AC;255;1;1;1;200\r\n");
}

TEST(MagazineDecode, BytesThatStartNoRecordBecomeAHexLineEndingAfterAA) {
    EXPECT_EQ(Decode({0xAA}), "AA\r\n");
    EXPECT_EQ(Decode(Cat({{0x10, 0x20, 0xAA}, SumRec(0xA1, 1, "1000", "500", 1, 1)})),
              "1020AA\r\nA1;1;1000;500;1;1\r\n");
    // Inside a run nothing starts a record, not even a header or a code.
    EXPECT_EQ(Decode({0x10, 0x01, 0x0F, 0xA1, 0xAA, 0xCB, 0x01, 0x00}), "10010FA1AA\r\nCB;1\r\n");
    // A run that meets no AA ends with the packet.
    EXPECT_EQ(Decode({0x00, 0xFE}), "00FE\r\n");
}

TEST(MagazineDecode, HeaderCountsOnlyWhenBothBytesAreInThePacket) {
    EXPECT_EQ(Decode({0xCB, 0x01, 0x00, 0x01}), "CB;1\r\n01\r\n");
    EXPECT_EQ(Decode({0x01, 0x0F}), "");  // header without its result code
}

TEST(MagazineDecode, CutRecordBecomesAHexLineInASinglePacket) {
    const TBytes rec = CodeRec(0xA3, 1, "12", "2000", "1250", 1, 1);
    const TBytes cut(rec.begin(), rec.begin() + 7);
    EXPECT_EQ(Decode(Cat({Header(), {0xCB, 0x01, 0x00}, cut})), "CB;1\r\nA3011200000020\r\n");
}

TEST(MagazineDecode, OperationNamesAndCodes) {
    EXPECT_EQ(MagOperName(0xA3), "пр. по коду");
    EXPECT_EQ(MagOperName(0xA6), "аннуляция суммовой подажи");
    EXPECT_EQ(MagOperName(0xB9), "анн набавки на ПИ");
    EXPECT_EQ(MagOperName(0xC9), "сумма к оплате с типом оплаты и суммой внесения");
    // Cyrillic Es after "0x".
    EXPECT_EQ(MagOperName(0xC1), "0x\xD0\xA1" "5 суммы по налоговым ставкам");
    EXPECT_EQ(MagOperName(0xC3), "???");
    EXPECT_EQ(MagOperName(0xAA), "???");
    const std::set<int> codes = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAB, 0xAC, 0xAD, 0xAE, 0xB1,
                                 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC9,
                                 0xCA, 0xCB, 0xCC};
    for (int c = 0; c < 256; ++c) {
        TAbstMagOper* oper = MagOperFor(static_cast<std::uint8_t>(c));
        EXPECT_EQ(oper != nullptr, codes.count(c) == 1) << std::hex << c;
        if (oper == nullptr) {
            EXPECT_EQ(MagOperName(static_cast<std::uint8_t>(c)), "???") << std::hex << c;
        }
    }
    EXPECT_EQ(MagOperFor(0xA1), MagOperFor(0xAC));  // one instance per kind
    EXPECT_NE(MagOperFor(0xA1), MagOperFor(0xA3));
}

TEST(MagazineDecoder, RecordSplitAcrossPacketsIsCompletedFromTheNext) {
    const TBytes rec = CodeRec(0xA3, 1, "12", "2000", "1250", 1, 1);
    const TBytes first = Cat({Header(), {0xCB, 0x02, 0x00}, TBytes(rec.begin(), rec.begin() + 5)});
    const TBytes second = Cat({Header(), TBytes(rec.begin() + 5, rec.end()), {0xCC, 0x03, 0x00}});
    TMagazineDecoder d;
    EXPECT_EQ(Feed(d, first), "CB;2\r\n");
    EXPECT_TRUE(d.HasPending());
    EXPECT_EQ(Feed(d, second), "A3;1;12;2000;1250;1;1\r\nCC;3\r\n");
    EXPECT_FALSE(d.HasPending());
    EXPECT_EQ(Feed(d, Header(9)), "");
    EXPECT_EQ(d.Flush(), "");
}

TEST(MagazineDecoder, WholeJournalCutAtEveryPositionDecodesTheSame) {
    const TBytes journal = Cat({WorkedReceipt(), SumRec(0xA6, 2, "1000", "500", 1, 1), {0xCC, 0x01, 0x00}});
    const std::string whole = Decode(journal);
    for (std::size_t cut = 1; cut < journal.size(); ++cut) {
        TMagazineDecoder d;
        std::string out;
        const TBytes a = Cat({Header(), TBytes(journal.begin(), journal.begin() + static_cast<long>(cut))});
        const TBytes b = Cat({Header(), TBytes(journal.begin() + static_cast<long>(cut), journal.end())});
        d.Feed(a.data(), static_cast<int>(a.size()), out);
        d.Feed(b.data(), static_cast<int>(b.size()), out);
        d.Feed(Header(9).data(), 3, out);
        out += d.Flush();
        EXPECT_EQ(out, whole) << "cut at " << cut;
    }
}

TEST(MagazineDecoder, ContinuationMaySpanSeveralPackets) {
    const TBytes rec = NalichRec(4, 0, "2500", "3000");
    TMagazineDecoder d;
    EXPECT_EQ(Feed(d, Cat({Header(), TBytes(rec.begin(), rec.begin() + 2)})), "");
    EXPECT_EQ(Feed(d, Cat({Header(), TBytes(rec.begin() + 2, rec.begin() + 4)})), "");
    EXPECT_EQ(Feed(d, Header()), "");
    EXPECT_EQ(Feed(d, Cat({Header(), TBytes(rec.begin() + 4, rec.end())})), "C9;4;1;2500;3000\r\n");
}

TEST(MagazineDecoder, RecordStillIncompleteAtTheEndBecomesAHexLine) {
    TMagazineDecoder d;
    EXPECT_EQ(Feed(d, Cat({Header(), {0xCB, 0x05, 0x00, 0xB5, 0x01, 0x99}})), "CB;5\r\n");
    EXPECT_EQ(Feed(d, Header(9)), "");
    EXPECT_EQ(d.Flush(), "B50199\r\n");
    EXPECT_FALSE(d.HasPending());
    EXPECT_EQ(d.Flush(), "");
}

TEST(MagazineDecode, LinkPacketsDecodeTheirDataBytes) {
    const TBytes bytes = Cat({Header(), WorkedReceipt()});
    TKKMPacket packet;
    std::copy(bytes.begin(), bytes.end(), packet.Data);
    packet.Length = static_cast<std::int32_t>(bytes.size());
    EXPECT_EQ(DecodeMagazinePacket(packet), WorkedReceiptLines());

    // Split inside the close record, completed by the next packet.
    TKKMPacket first, second;
    const std::size_t cut = bytes.size() - 5;
    std::copy(bytes.begin(), bytes.begin() + static_cast<long>(cut), first.Data);
    first.Length = static_cast<std::int32_t>(cut);
    const TBytes rest = Cat({Header(), TBytes(bytes.begin() + static_cast<long>(cut), bytes.end())});
    std::copy(rest.begin(), rest.end(), second.Data);
    second.Length = static_cast<std::int32_t>(rest.size());
    TMagazineDecoder d;
    std::string out;
    d.Feed(first, out);
    d.Feed(second, out);
    EXPECT_EQ(out, WorkedReceiptLines());

    packet.Length = -4;  // a broken length reads nothing
    EXPECT_EQ(DecodeMagazinePacket(packet), "");
}
