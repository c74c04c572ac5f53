// Faults the matrix found, each pinned by a test of its own.
#include "kkm/KKMCommands.h"
#include "link/LinkTestSupport.h"

#include <cstring>

using namespace linktest;

namespace {

const Bytes kIdentity{0x01, 0x01};

bool IsIdentityAnswer(const TKKMPacket& a) { return a.Length == 44 && a.Data[1] == 0x01 && a.Data[2] == 0; }

std::string TenAcks() {
    std::string s = "ACK";
    for (int i = 1; i < 10; ++i) s += "+ACK";
    return s;
}

}  // namespace

// Seven bytes of noise before a control frame shift every later frame by
// two bytes: each pass used to read the tail of the last frame and the head
// of the next, so all six passes failed on a register that answered well.
// A frame already behind the noise is now taken in the same pass.
TEST(LinkRecovery, NoiseOfAnyLengthCostsAtMostOnePass) {
    for (int noise : {1, 3, 7, 11}) {
        for (const char* where : {"1", "3"}) {  // before the RDY answer, before the answer frame
            TLogCapture log;
            TLinkRig rig;
            rig.Fault("noise:" + std::string(where) + ":" + std::to_string(noise));
            TKKMPacket req = Request(kIdentity), ans;
            ASSERT_TRUE(rig.Link.Exchange(req, ans, true)) << noise << " bytes before control frame " << where;
            EXPECT_TRUE(IsIdentityAnswer(ans));
            EXPECT_LE(log.Count("Sync>WaitKvit:"), 1) << log.Text();
        }
    }
}

// Ten handshake frames in one pass end it with "зацикливание"; when they
// came before the register's RDY, nothing was outstanding and the exchange
// used to give up at once instead of starting the next pass.
TEST(LinkRecovery, TenHandshakeFramesBeforeReadyStartAnotherPass) {
    TLogCapture log;
    TLinkRig rig;
    rig.Fault("rdy:1:" + TenAcks());
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    EXPECT_EQ(log.Count("зацикливание"), 1);
    EXPECT_EQ(rig.ComputerSent(0xC5), 2);
}

TEST(LinkRecovery, HandshakeFramesForeverStillEndAfterSixPasses) {
    TLogCapture log;
    TLinkRig rig;
    for (int n = 1; n <= 10; ++n) rig.Fault("rdy:" + std::to_string(n) + ":" + TenAcks());
    TKKMPacket req = Request(kIdentity), ans;
    EXPECT_FALSE(rig.Link.Exchange(req, ans, true));
    EXPECT_EQ(log.Count("зацикливание"), 6);
    EXPECT_EQ(rig.ComputerSent(0xC5), 6);
}

// A command whose answer overflows the packet gives up without a DISC of
// its own, so the register kept offering the rest of its answer: the next
// command got those frames, sent RST on their sequence numbers, and the
// register started the long answer again, pass after pass. The exchange
// now hangs up the answer it refuses.
TEST(LinkRecovery, NextCommandGetsThroughAfterAnOversizeAnswer) {
    TLogCapture log;
    TLinkRig rig;
    rig.Fault("big:1:9000");
    EXPECT_FALSE(rig.Link.GetKKMInfo());
    EXPECT_TRUE(log.Has("Error:слишком много данных"));
    rig.Settle();
    EXPECT_EQ(rig.ComputerSent(0xC0), 1);
    log.Clear();
    EXPECT_TRUE(rig.Link.GetDateTime()) << log.Text();
    EXPECT_FALSE(log.Has("stale paket"));
}

// A long answer the computer walked away from (a transfer whose hang-up
// never reached the register) used to be acknowledged frame by frame by the
// next command, ten a pass, or restarted by a resynchronisation on its
// numbers: six passes ran out long before two hundred goods did.
TEST(LinkRecovery, NextCommandHangsUpALongAnswerLeftOnTheRegister) {
    TLogCapture log;
    TLinkRig rig;
    rig.Sim.PrepareStream(200, 67);
    ASSERT_TRUE(rig.Port.Open());
    std::uint8_t c = 0;
    ASSERT_EQ(rig.Link.SendControl(0xC5), 0);
    ASSERT_EQ(rig.Link.ReceiveControl(c), 0);
    ASSERT_EQ(rig.Link.SendDataFrame(Request({0x01, 0x10, 0x01}), true), 0);
    rig.Settle();
    rig.Port.PurgeInput();
    EXPECT_TRUE(rig.Link.GetDateTime()) << log.Text();
    EXPECT_EQ(log.Count("stale paket"), 1);
    EXPECT_EQ(rig.ComputerSent(0xCF), 0);  // no RST: it would start the answer again
}

// The option count was the answer's length less three cut to a byte: 300
// bytes read as 41 options of garbage, stored, and reported as success.
TEST(LinkRecovery, AnOptionsAnswerOfThreeHundredBytesIsRefused) {
    TLogCapture log;
    TLinkRig rig;
    TKKMInfo& info = kkmcmd::EnsureInfo(rig.Kkm);
    info.OptionCount = 32;
    std::memset(info.OptionValues, 7, sizeof info.OptionValues);
    rig.Fault("big:1:300");
    EXPECT_FALSE(rig.Link.GetOptions());
    EXPECT_TRUE(log.Has("ККМ вернула 297"));
    EXPECT_EQ(info.OptionCount, 32);
    for (std::uint8_t v : info.OptionValues) EXPECT_EQ(v, 7);
}

namespace {

// The frame numbers a hook was given (PrepareStream numbers its frames).
struct TStreamHook {
    explicit TStreamHook(TProtocolKKM& link) {
        link.OnData = [this](TKKMPacket& p, bool&) {
            Numbers.push_back(p.Data[3] | p.Data[4] << 8 | p.Data[5] << 16 | static_cast<std::uint32_t>(p.Data[6]) << 24);
        };
    }
    bool EachOnceInOrder() const {
        for (std::size_t i = 0; i < Numbers.size(); ++i)
            if (Numbers[i] != i) return false;
        return true;
    }
    std::vector<std::uint32_t> Numbers;
};

}  // namespace

// After a RST the register starts its answer again. A hook had already
// taken the frames before the bad one: the journal showed them twice.
TEST(LinkRecovery, StreamOutOfSequenceAfterFramesWereTakenEndsWithoutRepeatingThem) {
    TLogCapture log;
    TLinkRig rig;
    rig.Sim.PrepareStream(6, 67);
    rig.Fault("seq:3");
    TStreamHook hook(rig.Link);
    TKKMPacket req = Request({0x01, 0x0F}), ans;
    EXPECT_FALSE(rig.Link.Exchange(req, ans, true));
    EXPECT_EQ(hook.Numbers, (std::vector<std::uint32_t>{0, 1}));
    EXPECT_TRUE(log.Has("WaitData:bad paket number"));
    rig.Settle();
    EXPECT_EQ(rig.ComputerSent(0xC0), 1) << "the register is told to hang up";
    EXPECT_TRUE(rig.Link.GetDateTime());
}

// A register that answered every RDY of the flooded passes with its first
// frame left a copy on the line behind each frame taken: out of sequence,
// RST, the answer from the start, the copy again... the exchange never
// ended, since every frame taken counts as progress.
TEST(LinkRecovery, FloodedStreamEnds) {
    TLogCapture log;
    TLinkRig rig;
    rig.Sim.PrepareStream(20, 67);
    rig.Fault("flood:1:25");
    TStreamHook hook(rig.Link);
    TKKMPacket req = Request({0x01, 0x0F}), ans;
    const auto t0 = std::chrono::steady_clock::now();
    rig.Link.Exchange(req, ans, true);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(15));
    EXPECT_TRUE(hook.EachOnceInOrder());
    EXPECT_TRUE(rig.Link.GetDateTime());
}

// A command whose answer frames all come out of sequence: SYN after SYN,
// then the exchange gives up, and the register is told to hang up.
TEST(LinkRecovery, AnswerAlwaysOutOfSequenceEndsAndHangsUp) {
    TLogCapture log;
    TLinkRig rig;
    for (int n = 1; n <= 100; ++n) rig.Fault("seq:" + std::to_string(n));
    TKKMPacket req = Request(kIdentity), ans;
    EXPECT_FALSE(rig.Link.Exchange(req, ans, true));
    EXPECT_EQ(ans.Length, 0);
    EXPECT_EQ(log.Count("WaitData:bad paket number"), 11);
    rig.Settle();
    EXPECT_EQ(rig.ComputerSent(0xC0), 1);
    rig.Sim.ClearFaults();
    EXPECT_TRUE(rig.Link.GetDateTime());
}

// The reply window opened when the request was queued, not when it had gone:
// at 2400 baud a goods record takes longer on the wire than the window, so
// every answer came late and each next exchange resynchronised.
TEST(LinkRecovery, GoodsWrittenAt2400BaudNeedNoResynchronisation) {
    TLogCapture log;
    TLinkRig rig(2400);
    ASSERT_TRUE(rig.Port.SetSpeed(2400));
    TSimState state = rig.Sim.State();
    state.Identity.Mode = 2;  // goods are written off-line only
    rig.Sim.SetState(state);
    TKKMInfo& info = kkmcmd::EnsureInfo(rig.Kkm);
    TSimGoods goods;
    goods.Name = "Товар на медленной линии";
    for (int code : {301, 302, 303}) {
        goods.Price = code * 100;
        const auto record = SimGoodsRecord(code, goods);
        std::copy(record.begin(), record.end(), info.Goods);
        ASSERT_TRUE(rig.Link.SetTOBAP()) << code << "\n" << log.Text();
    }
    EXPECT_EQ(rig.ComputerSent(0xCC) + rig.ComputerSent(0xCF), 0);
    EXPECT_FALSE(log.Has("bad paket number"));
    EXPECT_EQ(rig.Sim.State().Register.Goods.at(302).Price, 30200);
}
