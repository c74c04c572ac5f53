// Goods records: single reads and writes, and the simulator's goods and
// journal streams as the goods and journal pages receive them.
#include "CommandTestSupport.h"

#include "journal/U_magazineoperation.h"

#include <set>
#include <sstream>

using namespace kkmtest;

namespace {

constexpr std::uint8_t Disc = 0xC0;

// Every packet of a streamed answer, as the hook receives them.
std::vector<Bytes> Stream(TCommandRig& rig, const Bytes& request) {
    std::vector<Bytes> packets;
    rig.Link.OnData = [&](TKKMPacket& p, bool&) { packets.push_back(linktest::AnswerBytes(p)); };
    TKKMPacket req = linktest::Request(request), ans;
    EXPECT_TRUE(rig.Link.Exchange(req, ans, true));
    return packets;
}

void PutOffline(TCommandRig& rig) {
    TSimState s = rig.State();
    s.Identity.Mode = 2;
    rig.Sim.SetState(s);
}

}  // namespace

TEST(GetTOBAP, TheCodeGoesAsFourPackedDigitsWithTheFlagClear) {
    TLogCapture log;
    TCommandRig rig;
    ASSERT_TRUE(rig.Link.GetTOBAP(42));
    EXPECT_EQ(rig.LastRequest(), (Bytes{0x01, 0x10, 0x42, 0x00}));
    EXPECT_FALSE(rig.LastFlag());
    const TKKMInfo& info = *rig.Kkm.Info;
    EXPECT_EQ(info.Goods[0], 0xA5);
    EXPECT_EQ(info.GoodsCode.ToStr(), "42");
    EXPECT_EQ(BytesToStr(info.Goods + 5, 32), "Доставка по городу");
    EXPECT_EQ(info.GoodsPrice.ToStr(), "15000");
    EXPECT_EQ(info.GoodsCount.ToStr(), "3000");
    EXPECT_TRUE(log.Has("получаем товар из ККМ"));
    rig.Settle();
    EXPECT_EQ(rig.ComputerSent(Disc), 1);

    EXPECT_FALSE(rig.Link.GetTOBAP(1234));  // not in the table
    EXPECT_EQ(rig.LastRequest(), (Bytes{0x01, 0x10, 0x34, 0x12}));
    EXPECT_TRUE(log.Has("Error:Товар/услуга не найдены"));
}

TEST(GetTOBAP, ACodeAboveFourDigitsIsRefusedBeforeSending) {
    TLogCapture log;
    TCommandRig rig;
    EXPECT_FALSE(rig.Link.GetTOBAP(10000));
    EXPECT_FALSE(rig.Link.GetTOBAP(-1));
    EXPECT_TRUE(rig.NothingSent());
    EXPECT_TRUE(log.Has("Error:Код товара 10000 нельзя считать отдельно: допустимы коды 0..9999"));
    EXPECT_FALSE(rig.Kkm.Info);
}

TEST(SetTOBAP, SendsFiftyFourRecordBytesAndTheCountFlag) {
    TCommandRig rig;
    PutOffline(rig);
    TKKMInfo& info = rig.Info();
    info.Goods[0] = 0xA5;
    info.Goods[1] = 0x02;
    info.GoodsCode.FromStr("77");
    StrToBytes(info.Goods + 5, "Упаковка подарка", 32);
    info.GoodsPrice.FromStr("9900");
    info.Goods[42] = 2;
    info.Goods[43] = 6;
    info.GoodsCount.FromStr("5000");  // not sent
    info.SaveGoodsCount = false;
    ASSERT_TRUE(rig.Link.SetTOBAP());
    const Bytes sent = rig.LastRequest();
    ASSERT_EQ(sent.size(), 57u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 2), (Bytes{0x01, 0x11}));
    EXPECT_EQ(Bytes(sent.begin() + 2, sent.begin() + 56), Bytes(info.Goods, info.Goods + 54));
    EXPECT_EQ(sent[56], 0xAA);
    info.SaveGoodsCount = true;
    ASSERT_TRUE(rig.Link.SetTOBAP());
    EXPECT_EQ(rig.LastRequest()[56], 0x00);

    // Read back.
    std::fill(std::begin(info.Goods), std::end(info.Goods), 0);
    ASSERT_TRUE(rig.Link.GetTOBAP(77));
    EXPECT_EQ(info.Goods[0], 0xA5);
    EXPECT_EQ(info.Goods[1], 0x02);
    EXPECT_EQ(BytesToStr(info.Goods + 5, 32), "Упаковка подарка");
    EXPECT_EQ(info.GoodsPrice.ToStr(), "9900");
    EXPECT_EQ(info.GoodsCount.ToStr(), "0");
}

TEST(SetTOBAP, TheCountFlagKeepsOrClearsTheQuantitySold) {
    TCommandRig rig;
    PutOffline(rig);
    ASSERT_TRUE(rig.Link.GetTOBAP(5));
    TKKMInfo& info = *rig.Kkm.Info;
    EXPECT_EQ(info.GoodsCount.ToStr(), "44000");
    info.GoodsPrice.FromStr("9500");
    info.SaveGoodsCount = true;
    ASSERT_TRUE(rig.Link.SetTOBAP());
    ASSERT_TRUE(rig.Link.GetTOBAP(5));
    EXPECT_EQ(info.GoodsPrice.ToStr(), "9500");
    EXPECT_EQ(info.GoodsCount.ToStr(), "44000");
    info.SaveGoodsCount = false;
    ASSERT_TRUE(rig.Link.SetTOBAP());
    ASSERT_TRUE(rig.Link.GetTOBAP(5));
    EXPECT_EQ(info.GoodsCount.ToStr(), "0");
    EXPECT_EQ(rig.State().Register.Goods.at(5).Price, 9500);
}

TEST(SetTOBAP, TheRegisterTakesGoodsOnlyOffLine) {
    TLogCapture log;
    TCommandRig rig;  // on-line
    ASSERT_TRUE(rig.Link.GetTOBAP(5));
    rig.Kkm.Info->GoodsPrice.FromStr("1");
    EXPECT_FALSE(rig.Link.SetTOBAP());
    EXPECT_TRUE(log.Has("Error:Команда недоступна в текущем режиме"));
    EXPECT_EQ(rig.State().Register.Goods.at(5).Price, 8950);
}

TEST(SetTOBAP, TypeZeroRemovesTheRecord) {
    TCommandRig rig;
    PutOffline(rig);
    TKKMInfo& info = rig.Info();
    info.GoodsCode.FromStr("3");
    ASSERT_TRUE(rig.Link.SetTOBAP());
    EXPECT_EQ(rig.State().Register.Goods.count(3), 0u);
    EXPECT_FALSE(rig.Link.GetTOBAP(3));
}

TEST(SetTOBAP, WithoutAnImageNothingIsSent) {
    TCommandRig rig;
    EXPECT_FALSE(rig.Link.SetTOBAP());
    EXPECT_TRUE(rig.NothingSent());
}

TEST(GoodsStream, ReadAllStreamsTheRecordsItHoldsEachInItsOwnFrame) {
    TCommandRig rig;
    const auto packets = Stream(rig, {0x01, 0x10, 0x01, 0x00});
    EXPECT_TRUE(rig.LastFlag());
    ASSERT_EQ(packets.size(), 20u);
    int last = 0;
    for (const auto& p : packets) {
        ASSERT_EQ(p.size(), 67u);
        EXPECT_EQ(Bytes(p.begin(), p.begin() + 3), (Bytes{0x01, 0x10, 0x00}));
        const int code = std::stoi(TNumberKKM(const_cast<std::uint8_t*>(p.data()) + 5, 3).ToStr());
        EXPECT_GT(code, last);
        last = code;
    }
    EXPECT_EQ(last, 150);
}

TEST(GoodsStream, SlotStreamingSendsEveryCodeSlotWithEmptyOnesRefused) {
    TCommandRig rig;
    TSimState s = rig.State();
    s.Register.GoodsStream = TSimGoodsStream::Slots;
    s.Register.GoodsSlots = 30;
    rig.Sim.SetState(s);
    const auto packets = Stream(rig, {0x01, 0x10, 0x01, 0x00});
    ASSERT_EQ(packets.size(), 30u);
    int held = 0;
    for (const auto& p : packets) {
        ASSERT_EQ(p.size(), 67u);
        held += p[2] == 0;
        if (p[2] != 0) {
            EXPECT_EQ(p[2], 9);
        }
    }
    EXPECT_EQ(held, 18);  // codes 1..17 and 25
    EXPECT_EQ(packets[24][2], 0);
    EXPECT_EQ(packets[17][2], 9);
}

TEST(JournalStream, PacketsOfWholeRecordsEndWithResultNine) {
    TCommandRig rig;
    const auto packets = Stream(rig, {0x01, 0x0F, 0x00, 0x00});
    ASSERT_GE(packets.size(), 2u);
    TMagazineDecoder decoder;
    std::string text;
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const Bytes& p = packets[i];
        EXPECT_LE(p.size(), 255u);
        ASSERT_GE(p.size(), 3u);
        EXPECT_EQ(p[0], 0x01);
        EXPECT_EQ(p[1], 0x0F);
        EXPECT_EQ(p[2], i + 1 == packets.size() ? 9 : 0);
        // Whole records: each packet decodes alone without a hexadecimal line.
        const std::string alone = DecodeMagazinePacket(p.data(), static_cast<int>(p.size()));
        EXPECT_EQ(alone.find("AA\r\n"), std::string::npos);
        decoder.Feed(p.data(), static_cast<int>(p.size()), text);
    }
    EXPECT_FALSE(decoder.HasPending());
    EXPECT_EQ(packets.back().size(), 3u);

    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l.substr(0, l.size() - 1));
    ASSERT_EQ(lines.size(), rig.State().Register.Journal.size());
    EXPECT_EQ(lines[0], "A3;1;1;2000;4590;1;1");
    std::set<std::string> codes;
    for (const auto& l : lines) codes.insert(l.substr(0, 2));
    for (const char* c : {"A1", "A3", "A8", "B1", "B5", "C1", "C9", "CA", "CB", "CC"}) EXPECT_TRUE(codes.count(c)) << c;
    // Payment with change, a cash-in receipt and its close.
    EXPECT_NE(text.find("C9;7;1;33130;50000"), std::string::npos);
    EXPECT_NE(text.find("C9;1;3;100000;0"), std::string::npos);
    EXPECT_NE(text.find("CA;1;101;16.03.26;09:12;F;1"), std::string::npos);
    EXPECT_NE(text.find("CA;3;104;16.03.26;10:30;NF;2"), std::string::npos);
}
