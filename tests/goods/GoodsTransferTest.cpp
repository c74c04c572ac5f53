// The goods transfers without a window, on the simulated register: the
// packet handler's rules, failures of the link and of the register, and the
// cases where a write has nothing to send.
#include "goods/GoodsTransfer.h"

#include "app/TransferState.h"
#include "goods/GoodsRecord.h"
#include "goods/GoodsSearch.h"
#include "kkm/RegisterSession.h"
#include "link/LinkTestSupport.h"
#include "settings/Unitbd.h"
#include "sim/SimCommands.h"

#include <cstring>

namespace {

using linktest::Bytes;

struct GoodsTransfer : ::testing::Test {
    linktest::TLogCapture log;
    TRegisterSimulator sim{linktest::TLinkRig::Options(0)};
    TRegisterSession session;
    TBD bd;
    TTransferState transfer;
    TGoodsTransfer goods{session, bd, transfer};
    TMemTable& t = bd.mtTOBAP;

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim.Start(error)) << error;
        session.ComPort.SetDevicePath(sim.DevicePath());
    }
    void OffLine(std::map<int, TSimGoods> register_goods) {
        TSimState s = sim.State();
        s.Identity.Mode = 2;
        s.Register.Goods = std::move(register_goods);
        sim.SetState(s);
    }
    void Row(int code, int ng = 1) {
        t.Append();
        t.SetValue("Code", code);
        t.SetValue("Type", 170);
        t.SetValue("Name", "т" + std::to_string(code));
        t.SetValue("NG", ng);
        t.SetValue("Price", 1);
        t.Post();
    }
    std::vector<int> Codes() {
        std::vector<int> out;
        for (int r = 0; r < t.RecordCount(); ++r) out.push_back(t.VisibleValue(r, 0).AsInteger());
        return out;
    }
    int Sent(std::uint8_t command) const {
        int n = 0;
        for (const auto& r : sim.History())
            n += r.Incoming && r.Block && r.Bytes.size() > 2 && r.Bytes[1] == 0x01 && r.Bytes[2] == command;
        return n;
    }
    void ExpectIdle() const {
        EXPECT_FALSE(transfer.TransferRunning);
        EXPECT_FALSE(transfer.StopRequested);
        EXPECT_EQ(transfer.TransferPos, 0);
        EXPECT_FALSE(goods.Busy());
    }
};

TKKMPacket GoodsPacket(std::uint8_t result, const std::array<std::uint8_t, 64>& record, int length = 67) {
    TKKMPacket p;
    p.Length = length;
    p.Data[0] = 0x01, p.Data[1] = 0x10, p.Data[2] = result;
    std::memcpy(p.Data + 3, record.data(), record.size());
    return p;
}

TSimGoods Item(const std::string& name) {
    TSimGoods g;
    g.Name = name;
    g.Price = 100;
    return g;
}

}  // namespace

TEST_F(GoodsTransfer, PacketsWithoutAWholeValidRecordAddNoRow) {
    session.KKM.Info = std::make_shared<TKKMInfo>();
    bool more = true;
    auto packet = GoodsPacket(0, SimGoodsRecord(3, Item("три")));
    goods.OnTOBAPPacket(packet, more);
    auto shortPacket = GoodsPacket(0, SimGoodsRecord(4, Item("четыре")), 40);
    goods.OnTOBAPPacket(shortPacket, more);
    auto record = SimGoodsRecord(5, Item("пять"));
    record[2] = 0x5A;  // the code is not packed decimal
    auto badCode = GoodsPacket(0, record);
    goods.OnTOBAPPacket(badCode, more);
    auto refused = GoodsPacket(9, SimGoodsRecord(6, Item("шесть")));
    goods.OnTOBAPPacket(refused, more);
    auto next = GoodsPacket(0, SimGoodsRecord(7, Item("семь")));
    goods.OnTOBAPPacket(next, more);
    EXPECT_EQ(Codes(), (std::vector<int>{3, 7}));
    EXPECT_TRUE(more);
    EXPECT_EQ(transfer.TransferPos, 5);  // one step per packet
    EXPECT_EQ(goods.LastTOBAPCode, 7);

    transfer.StopRequested = true;  // the packet in hand is still taken
    auto last = GoodsPacket(0, SimGoodsRecord(8, Item("восемь")));
    goods.OnTOBAPPacket(last, more);
    EXPECT_FALSE(more);
    EXPECT_EQ(Codes(), (std::vector<int>{3, 7, 8}));
}

TEST_F(GoodsTransfer, AReadAllThatLosesTheLinkKeepsTheRowsReceived) {
    // The register falls silent while it sends the fifth packet.
    goods.View.SetProgressPos = [this](int pos) {
        if (pos == 4) sim.Stop();
    };
    EXPECT_FALSE(goods.bLoadTOBAPClick());
    EXPECT_TRUE(log.Has("Сбой при загрузке товара"));
    EXPECT_FALSE(log.Has("Товар загружен"));
    EXPECT_EQ(Codes(), (std::vector<int>{1, 2, 3, 4, 5}));
    ExpectIdle();
}

TEST_F(GoodsTransfer, ARecordTheRegisterRefusesEndsTheWriteThere) {
    OffLine({});
    Row(1);
    Row(2);
    Row(3);
    sim.RegisterCommand(0x11, [](TSimState&, const TSimRequest&) { return TSimFrames{SimAnswerHead(0x11, 7)}; });
    EXPECT_FALSE(goods.bSaveTOBAPClick());
    EXPECT_TRUE(log.Has("Сбой при записи товара"));
    EXPECT_FALSE(log.Has("Товар записан"));
    EXPECT_TRUE(sim.State().Register.Goods.empty());
    EXPECT_EQ(Sent(0x11), 1);
    ExpectIdle();
}

TEST_F(GoodsTransfer, ATaxGroupTheRegisterDoesNotHaveIsRefusedBeforeAnythingIsSent) {
    OffLine({});
    Row(1);
    Row(2, 7);
    Row(3);
    EXPECT_FALSE(goods.bSaveTOBAPClick());
    EXPECT_TRUE(log.Has("Товар с кодом 2 не записан: поле \"Налог\" \"7\""));
    EXPECT_EQ(Sent(0x11), 0);
    ExpectIdle();
}

TEST_F(GoodsTransfer, WriteAllChecksEveryRowFirstAndNamesTheCharactersTheRegisterDrops) {
    OffLine({});
    Row(1);
    Row(2);
    Row(3);
    t.Edit();
    t.SetValue("Price", TCurrency{12345});  // 1.2345: not whole kopecks
    t.Post();
    t.First();
    t.Edit();
    t.SetValue("Shtrih", "12a");
    t.Post();
    EXPECT_FALSE(goods.bSaveTOBAPClick());
    EXPECT_TRUE(log.Has("Товар с кодом 1 не записан: поле \"Штрих-код\""));
    EXPECT_TRUE(log.Has("; строк с ошибками всего: 2. В ККМ ничего не записано"));
    EXPECT_FALSE(log.Has("Записываем товар..."));
    EXPECT_EQ(Sent(0x11), 0);
    ExpectIdle();

    // Mended; a name with characters the register cannot keep gets one
    // warning line and is written. A search shows one row, write all takes all.
    t.First();
    t.Edit();
    t.SetValue("Shtrih", "");
    t.SetValue("Name", "Сыр «Рос» №5 — кг «»");
    t.Post();
    t.Last();
    t.Edit();
    t.SetValue("Price", 2);
    t.Post();
    SetGoodsSearch(t, "Т2");
    ASSERT_EQ(Codes(), (std::vector<int>{2}));
    EXPECT_TRUE(goods.bSaveTOBAPClick());
    EXPECT_EQ(log.Count("Товар с кодом 1: знаки «»№— в наименовании ККМ не хранит, они будут опущены"), 1);
    EXPECT_EQ(log.Count(": знаки "), 1);
    EXPECT_EQ(sim.State().Register.Goods.size(), 3u);
    EXPECT_EQ(GoodsNameLostChars("Tab\there ☺ Ёё"), "\t☺");

    // Under the search: a row edited out of it is still the one written
    // current, and a row inserted goes before the current row of the table.
    t.Edit();
    t.SetValue("Name", "другое имя");
    EXPECT_TRUE(goods.bSaveOneTOBAPClick());
    EXPECT_EQ(sim.State().Register.Goods.at(2).Name, "другое имя");
    SetGoodsSearch(t, "т3");
    t.Insert();
    t.SetValue("Code", 9);
    t.Post();
    SetGoodsSearch(t, "");
    EXPECT_EQ(Codes(), (std::vector<int>{1, 2, 9, 3}));
    ExpectIdle();
}

TEST_F(GoodsTransfer, WriteCurrentWithNothingToSendSaysSo) {
    OffLine({});
    EXPECT_FALSE(goods.bSaveOneTOBAPClick());  // an empty table
    EXPECT_TRUE(log.Has("Товар не записан: у строки нет кода"));
    t.Append();
    t.SetValue("Name", "без кода");
    t.Post();
    EXPECT_FALSE(goods.bSaveOneTOBAPClick());
    EXPECT_EQ(log.Count("Товар не записан: у строки нет кода"), 2);
    EXPECT_FALSE(log.Has("1 товар записан"));
    EXPECT_EQ(Sent(0x11), 0);
    EXPECT_GT(Sent(0x01), 0);  // the reconnects asked for the identity

    // After a write all has run to the end, the current row is still written.
    Row(4);
    Row(5);
    EXPECT_TRUE(goods.bSaveTOBAPClick());
    t.First();
    t.Edit();
    t.SetValue("Code", 6);
    t.Post();
    t.Last();
    EXPECT_TRUE(goods.bSaveOneTOBAPClick());
    EXPECT_TRUE(log.Has("1 товар записан"));
    ExpectIdle();
}

TEST_F(GoodsTransfer, ReadCurrentOfACodeBeyondFourDigitsSendsNothing) {
    ASSERT_TRUE(session.EnsureConnected());
    Row(12345);
    sim.ClearHistory();
    EXPECT_FALSE(goods.bLoadOneTOBAPClick());
    EXPECT_EQ(Sent(0x10), 0);
    EXPECT_EQ(t.AsString("Name"), "т12345");
    EXPECT_FALSE(log.Has("1 товар загружен"));
    ExpectIdle();
}

TEST_F(GoodsTransfer, RowsStayStillWhileTheRegisterIsBusy) {
    Row(1);
    transfer.TransferRunning = true;
    EXPECT_FALSE(goods.bAddTOBAPClick());
    EXPECT_FALSE(goods.bDelTOBAPClick());
    EXPECT_EQ(t.RecordCount(), 1);
    EXPECT_EQ(t.AsString("Name"), "т1");
    transfer.TransferRunning = false;

    // Clearing on an empty table makes no row.
    t.EmptyTable();
    EXPECT_FALSE(goods.bDelTOBAPClick());
    EXPECT_EQ(t.RecordCount(), 0);
}
