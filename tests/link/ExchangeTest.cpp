// The exchange against the register simulator on a real pseudo-terminal:
// the normal course and every recovery path.
#include "LinkTestSupport.h"

#include <chrono>

using namespace linktest;
using Clock = std::chrono::steady_clock;

namespace {

const Bytes kIdentity{0x01, 0x01};
constexpr const char* kBegin = "----- начало синхронизации с ККМ -----";
constexpr const char* kEnd = "----- конец синхронизации с ККМ  -----";

bool IsIdentityAnswer(const TKKMPacket& a) {
    return a.Length == 44 && a.Data[0] == 0x01 && a.Data[1] == 0x01 && a.Data[2] == 0 &&
           Cp1251ToUtf8(std::string(reinterpret_cast<const char*>(a.Data + 31), 6)) == "ver012";
}

long long MsSince(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

}  // namespace

TEST(Exchange, IdentityRequestGetsTheWholeAnswer) {
    TLogCapture log;
    TLinkRig rig;
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    EXPECT_FALSE(rig.Link.CheckAnswer(ans, 44));
    EXPECT_EQ(rig.Kkm.LinkState, 0);
    EXPECT_EQ(rig.Kkm.TxSeq, 1);
    EXPECT_EQ(rig.Kkm.RxSeq, 1);
    // RDY, the request as DATA 0 with the continuation flag, the ACK of the answer.
    EXPECT_EQ(rig.ComputerFrames(), (Bytes{0xC5, 0x90, 0xCA}));
    EXPECT_EQ(rig.RegisterFrames(), (Bytes{0xE5, 0xEA, 0xA0}));

    const std::string t = log.Text();
    EXPECT_NE(t.find(kBegin), std::string::npos);
    EXPECT_NE(t.find(kEnd), std::string::npos);
    EXPECT_NE(t.find(">data ПК->ККМ             size:2  :1,1"), std::string::npos) << t;
    EXPECT_NE(t.find(">data ПК<-ККМ             size:44  :1,1,0"), std::string::npos) << t;
    EXPECT_NE(t.find(">DATA ПК<-ККМ синх.   ККМ=1"), std::string::npos) << t;
    EXPECT_NE(t.find(">ACK  ПК->ККМ синх.   ККМ=1"), std::string::npos) << t;
    EXPECT_FALSE(rig.Link.OnData);

    // The counters carry on into the next exchange.
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_EQ(rig.ComputerFrames()[4], 0x91);
    EXPECT_EQ(rig.Kkm.TxSeq, 2);
}

TEST(Exchange, FlagClearTakesTheAnswerInTheSecondPass) {
    TLinkRig rig;
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, false));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    // The ACK ends pass one; pass two's RDY brings the DATA frame.
    EXPECT_EQ(rig.ComputerFrames(), (Bytes{0xC5, 0x80, 0xC5, 0xCA}));
    EXPECT_EQ(rig.RegisterFrames(), (Bytes{0xE5, 0xEA, 0xA0}));
}

TEST(Exchange, ZeroLengthRequestCompletesAfterReady) {
    TLinkRig rig;
    TKKMPacket req, ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_EQ(ans.Length, 0);
    EXPECT_EQ(rig.ComputerFrames(), (Bytes{0xC5}));
}

TEST(Exchange, WaitOnReadyStartsAnotherPass) {
    TLogCapture log;
    TLinkRig rig;
    rig.Fault("rdy:1:WAIT");
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    EXPECT_EQ(rig.ComputerFrames(), (Bytes{0xC5, 0xC5, 0x90, 0xCA}));
    EXPECT_EQ(log.Count(kBegin), 1);
}

TEST(Exchange, WaitOnTheRequestResendsItWithTheSameSequenceNumber) {
    TLinkRig rig;
    rig.Kkm.TxSeq = 3;
    rig.Fault("req:1:WAIT");
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    EXPECT_EQ(rig.ComputerFrames(), (Bytes{0xC5, 0x93, 0xC5, 0x93, 0xCA}));
    EXPECT_EQ(rig.Kkm.TxSeq, 4);
}

TEST(Exchange, WaitEveryTimeGivesUpAfterSixPasses) {
    TLinkRig rig;
    rig.Fault("req:1:WAIT");
    for (int i = 1; i <= 6; ++i) rig.Fault("rdy:" + std::to_string(i + 1) + ":WAIT");
    TKKMPacket req = Request(kIdentity), ans;
    EXPECT_FALSE(rig.Link.Exchange(req, ans, true));
    EXPECT_EQ(rig.Kkm.LinkState, 3);
    EXPECT_EQ(rig.ComputerSent(0xC5), 6);
}

TEST(Exchange, BusyMeansTryAgain) {
    TLinkRig rig;
    rig.Fault("rdy:1:BUSY");
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));

    // While the answer is awaited (flag clear), BUSY keeps it awaited.
    rig.Sim.ClearFaults();
    rig.Fault("rdy:2:BUSY");
    ASSERT_TRUE(rig.Link.Exchange(req, ans, false));
    EXPECT_TRUE(IsIdentityAnswer(ans));
}

TEST(Exchange, DisconnectInsteadOfTheAnswerIsNoAnswer) {
    TLogCapture log(mdHardWare);
    TLinkRig rig;
    rig.Fault("rdy:2:DISC");
    TKKMPacket req = Request(kIdentity), ans;
    EXPECT_FALSE(rig.Link.Exchange(req, ans, false));
    EXPECT_EQ(ans.Length, 0);
    EXPECT_EQ(log.Count("init COM"), 2);  // reopened after the failure
    EXPECT_TRUE(rig.Port.IsOpen());
}

TEST(Exchange, RejectEndsTheExchange) {
    TLinkRig rig;
    rig.Fault("rdy:1:REJ");
    TKKMPacket req = Request(kIdentity), ans;
    EXPECT_FALSE(rig.Link.Exchange(req, ans, true));
    EXPECT_EQ(rig.Kkm.LinkState, 2);
    EXPECT_EQ(rig.ComputerFrames(), (Bytes{0xC5}));
}

TEST(Exchange, SynFromTheRegisterRestartsTheCounters) {
    TLinkRig rig;
    rig.Kkm.TxSeq = 5;
    rig.Kkm.RxSeq = 5;
    rig.Fault("rdy:1:SYN+RDY");
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    EXPECT_EQ(rig.ComputerFrames(), (Bytes{0xC5, 0x90, 0xCA}));
    EXPECT_EQ(rig.Kkm.TxSeq, 1);
    EXPECT_EQ(rig.Kkm.RxSeq, 1);
}

TEST(Exchange, RstFromTheRegisterFailsWithCountersReset) {
    TLinkRig rig;
    rig.Kkm.TxSeq = 5;
    rig.Kkm.RxSeq = 5;
    rig.Fault("rdy:1:RST");
    TKKMPacket req = Request(kIdentity), ans;
    EXPECT_FALSE(rig.Link.Exchange(req, ans, true));
    EXPECT_EQ(rig.Kkm.LinkState, 3);
    EXPECT_EQ(rig.Kkm.TxSeq, 0);
    EXPECT_EQ(rig.Kkm.RxSeq, 0);
}

TEST(Exchange, OutOfSequenceFrameResynchronises) {
    TLogCapture log(mdHardWare);
    TLinkRig rig;
    rig.Fault("seq:1");
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    EXPECT_TRUE(log.Has("WaitData:bad paket number"));
    // SYN for a last frame; both counters restart and the answer comes again.
    EXPECT_EQ(rig.ComputerFrames(), (Bytes{0xC5, 0x90, 0xCC, 0xCA}));
    EXPECT_EQ(log.Count("init COM"), 1);  // input emptied, the port not reopened
    EXPECT_EQ(rig.Kkm.TxSeq, 0);
    EXPECT_EQ(rig.Kkm.RxSeq, 1);
}

TEST(Exchange, OutOfSequenceWhileMoreFollowEmptiesTheAnswerAndSendsRst) {
    TLinkRig rig;
    Bytes big(600);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 13);
    big[2] = 0;
    rig.Sim.PrepareAnswer(big);
    rig.Fault("seq:2");
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_EQ(AnswerBytes(ans), big);  // not the first frame twice
    const Bytes frames = rig.ComputerFrames();
    EXPECT_EQ(frames, (Bytes{0xC5, 0x90, 0xDA, 0xCF, 0xDA, 0xDA, 0xCA}));
}

TEST(Exchange, BadChecksumIsRepeatedInTheSamePass) {
    TLogCapture log;
    TLinkRig rig;
    rig.Fault("checksum:1");
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    EXPECT_EQ(rig.ComputerFrames(), (Bytes{0xC5, 0x90, 0xC6, 0xCA}));
    EXPECT_EQ(rig.Kkm.RxSeq, 1);
}

TEST(Exchange, DroppedBytesAreRepeatedInTheSamePass) {
    TLinkRig rig;
    rig.Fault("drop:1:2");
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    EXPECT_EQ(rig.ComputerFrames(), (Bytes{0xC5, 0x90, 0xC6, 0xCA}));
}

TEST(Exchange, TenHandshakeFramesEndThePass) {
    TLogCapture log;
    TLinkRig rig;
    rig.Fault("flood:1");
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    EXPECT_EQ(log.Count("зацикливание"), 1);
    EXPECT_TRUE(log.Has("Во время ожидания данных не должно быть квитанций из ККМ: ACK  ПК<-ККМ синх. "));
    EXPECT_EQ(rig.ComputerSent(0xC5), 2);
}

TEST(Exchange, SilentRegisterGivesSixPassesThenReopens) {
    TLogCapture log(mdHardWare);
    TLinkRig rig;
    rig.Fault("silent:1");
    TKKMPacket req = Request(kIdentity), ans;
    const auto t0 = Clock::now();
    EXPECT_FALSE(rig.Link.Exchange(req, ans, true));
    const auto ms = MsSince(t0);
    EXPECT_EQ(log.Count("Sync>WaitKvit:TimeOut"), 6);
    EXPECT_EQ(rig.ComputerSent(0xC5), 6);
    EXPECT_EQ(log.Count("init COM"), 2);
    EXPECT_EQ(rig.Kkm.LinkState, 1);
    EXPECT_GE(ms, 6 * (250 + 45) + 5 * 50);  // six reads of 5 bytes, the pauses between
    EXPECT_LT(ms, 8000);

    // The register answers again: so does the link.
    rig.Sim.ClearFaults();
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
}

TEST(Exchange, LineNoiseCostsAtMostAPassAndTheLinkRecovers) {
    TLogCapture log(mdHardWare);
    TLinkRig rig;
    rig.Fault("noise:1:5");
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    EXPECT_LE(log.Count("Sync>WaitKvit:"), 1);
    rig.Link.SendControl(0xC0);
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
    EXPECT_EQ(log.Count("init COM"), 1);  // input emptied, the port not reopened
}

// The answer already behind the garbled bytes is taken in the same pass: a
// register that does not send its answer again on RDY failed after six.
TEST(Exchange, AnswerBehindGarbledBytesInTheSameReadIsTakenInThatPass) {
    const Bytes answer{0x01, 0x01, 0x00, 'n', 'e', 'w'};
    const Bytes cut{0x7F, 0x02, 0x01, 0xA0};  // a frame that lost its last byte
    for (const Bytes& garbled : {cut, Bytes{0x13, 0x7F, 0x7F, 0x55, 0x02, 0x01, 0x7F, 0xA0}}) {
        TLogCapture log;
        TScriptedLine s;
        s.Put(Concat({Frame(1, 0xE5), Frame(1, 0xEA), garbled, Frame(1, 0xA0),
                      kkmlink::BuildDataBlock(answer.data(), static_cast<int>(answer.size()))}));
        TKKMPacket req = Request(kIdentity), ans;
        ASSERT_TRUE(s.Link.Exchange(req, ans, true)) << log.Text();
        EXPECT_EQ(AnswerBytes(ans), answer);
        EXPECT_FALSE(log.Has("Sync>WaitKvit:"));
        EXPECT_EQ(log.Count(">RDY  ПК->ККМ"), 1);
    }
}

// Frames from the computer heard back on a two-wire line are no frames of
// the register, its DATA frame's block included.
TEST(Exchange, EchoOfTheComputersOwnFramesIsSkipped) {
    TLogCapture log(mdHardWare);
    TScriptedLine s;
    const Bytes answer{0x01, 0x01, 0x00, 'o', 'k'};
    const Bytes request{0x01, 0x01};
    s.Put(Concat({Frame(1, 0xC0), Frame(1, 0xC5), Frame(1, 0xE5), Frame(1, 0x90),
                  kkmlink::BuildDataBlock(request.data(), 2), Frame(1, 0xEA), Frame(1, 0xA0),
                  kkmlink::BuildDataBlock(answer.data(), static_cast<int>(answer.size()))}));
    TKKMPacket req = Request(request), ans;
    ASSERT_TRUE(s.Link.Exchange(req, ans, true)) << log.Text();
    EXPECT_EQ(AnswerBytes(ans), answer);
    EXPECT_EQ(log.Count("echo:"), 3);
    EXPECT_FALSE(log.Has("Во время ожидания"));
}

TEST(Exchange, AnswerOver8192BytesAborts) {
    TLogCapture log(mdHardWare);
    TLinkRig rig;
    rig.Fault("big:1:9000");
    TKKMPacket req = Request(kIdentity), ans;
    EXPECT_FALSE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(log.Has("Error:слишком много данных"));
    EXPECT_FALSE(log.Has(kEnd));
    EXPECT_EQ(log.Count("init COM"), 1);  // not reopened
    EXPECT_LE(ans.Length, 8192);

    // The caller's DISC, then the link finds its way back.
    rig.Link.SendControl(0xC0);
    ASSERT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_TRUE(IsIdentityAnswer(ans));
}

TEST(Exchange, HookTakesAStreamFrameByFrame) {
    TLinkRig rig;
    rig.Sim.PrepareStream(20, 67);
    std::vector<std::uint32_t> numbers;
    rig.Link.OnData = [&](TKKMPacket& p, bool&) {
        ASSERT_EQ(p.Length, 67);
        numbers.push_back(p.Data[3] | p.Data[4] << 8 | p.Data[5] << 16 | static_cast<std::uint32_t>(p.Data[6]) << 24);
    };
    int events = 0;
    AppHooks().ProcessEvents = [&] { ++events; };
    TKKMPacket req = Request({0x01, 0x0F}), ans;
    const bool ok = rig.Link.Exchange(req, ans, true);
    AppHooks().ProcessEvents = nullptr;
    EXPECT_TRUE(ok);
    ASSERT_EQ(numbers.size(), 20u);
    for (std::uint32_t i = 0; i < 20; ++i) EXPECT_EQ(numbers[i], i);
    EXPECT_FALSE(rig.Link.OnData);
    EXPECT_GE(events, 20 + 6);  // every frame and every pass
    const Bytes frames = rig.ComputerFrames();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), 0xDA), 19);
    EXPECT_EQ(std::count(frames.begin(), frames.end(), 0xCA), 1);
    // After the last frame the link polls for five more passes.
    EXPECT_EQ(rig.ComputerSent(0xC5), 6);
}

TEST(Exchange, HookClearingTheFlagStopsTheRegister) {
    TLinkRig rig;
    rig.Sim.PrepareStream(5, 67);
    int calls = 0;
    rig.Link.OnData = [&](TKKMPacket&, bool& more) {
        ++calls;
        more = false;
    };
    TKKMPacket req = Request({0x01, 0x0F}), ans;
    EXPECT_TRUE(rig.Link.Exchange(req, ans, true));
    EXPECT_EQ(calls, 1);
    const Bytes frames = rig.ComputerFrames();
    ASSERT_GE(frames.size(), 3u);
    EXPECT_EQ(frames[2], 0xCA);  // not 0xDA
    int dataFrames = 0;
    for (auto c : rig.RegisterFrames()) dataFrames += kkmlink::IsDataFrame(c);
    EXPECT_EQ(dataFrames, 1);
}

TEST(Exchange, FrameLeftFromAnEarlierExchangeIsNotTheAnswer) {
    TLogCapture log;
    TScriptedLine s;
    // Already on the line: a DATA frame nobody asked for, then the register's
    // part of a proper exchange.
    const Bytes stale{0x01, 0x01, 0x00, 'o', 'l', 'd'};
    const Bytes fresh{0x01, 0x01, 0x00, 'n', 'e', 'w'};
    s.Put(Concat({Frame(1, 0xA0), kkmlink::BuildDataBlock(stale.data(), 6), Frame(1, 0xE5), Frame(1, 0xEA),
                  Frame(1, 0xA1), kkmlink::BuildDataBlock(fresh.data(), 6)}));
    TKKMPacket req = Request(kIdentity), ans;
    ASSERT_TRUE(s.Link.Exchange(req, ans, true));
    EXPECT_EQ(AnswerBytes(ans), fresh);
    EXPECT_TRUE(log.Has("WaitData:stale paket"));
}

TEST(Exchange, TerminatingApplicationEndsAtOnce) {
    TLinkRig rig;
    AppHooks().Terminating = [] { return true; };
    TKKMPacket req = Request(kIdentity), ans, none;
    const bool withData = rig.Link.Exchange(req, ans, true);
    const bool empty = rig.Link.Exchange(none, ans, true);
    AppHooks().Terminating = nullptr;
    EXPECT_FALSE(withData);  // nothing came back: not a success
    EXPECT_TRUE(empty);
    EXPECT_TRUE(rig.ComputerFrames().empty());
}

TEST(Exchange, CheckAnswerReportsCodeAndLength) {
    TLogCapture log;
    TProtocolKKM link;
    TKKMPacket a = Request({0x01, 0x02, 25});
    EXPECT_TRUE(link.CheckAnswer(a, 3));
    EXPECT_TRUE(log.Has("Error:Неизвестная ошибка:25"));
    a = Request({0x01, 0x02, 9});
    EXPECT_TRUE(link.CheckAnswer(a, 3));
    EXPECT_TRUE(log.Has("Error:Товар/услуга не найдены"));
    a = Request({0x01, 0x02, 0, 1, 2, 3, 4, 5});
    EXPECT_TRUE(link.CheckAnswer(a, 9));
    EXPECT_TRUE(log.Has("Error:Не верный размер полученых данных"));
    EXPECT_FALSE(link.CheckAnswer(a, 8));
}

TEST(Exchange, PortThatWillNotOpenFailsAtOnce) {
    TLogCapture log;
    TComPort port;
    port.SetDevicePath("/dev/no-such-register-port");
    TKKM kkm;
    kkm.Port = &port;
    TProtocolKKM link(&kkm);
    TKKMPacket req = Request(kIdentity), ans;
    EXPECT_FALSE(link.Exchange(req, ans, true));
    EXPECT_TRUE(log.Has("Error:Selected СОМ-port inaccessible!"));
    EXPECT_FALSE(log.Has(kBegin));
}
