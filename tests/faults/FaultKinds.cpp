// The faults of the matrix and where in an exchange each one is made.
//
// The simulator counts each kind of event from the start of the case: RDY
// frames it receives, requests it takes, DATA frames and control frames it
// sends. A command answered at once sees RDY 1, request 1, control frames
// 1 (RDY) 2 (ACK) 3 (DATA) and DATA frame 1; a command whose answer comes
// in the next pass (flag clear) sees a second RDY that fetches the answer;
// a stream sees DATA frames 1..n and, after its last frame, five more RDYs
// of the passes that poll for more.
#include "FaultMatrix.h"

namespace faults {

namespace {

// "kind:N[:arg]" for N = first .. first + count - 1: a fault on every event.
std::vector<std::string> Every(const std::string& kind, int count, const std::string& arg = "") {
    std::vector<std::string> faults;
    for (int n = 1; n <= count; ++n) faults.push_back(kind + ":" + std::to_string(n) + (arg.empty() ? "" : ":" + arg));
    return faults;
}

constexpr int kEvery = 120;  // more events than any failing exchange makes

std::string TenAcks() {
    std::string s = "ACK";
    for (int i = 1; i < 10; ++i) s += "+ACK";
    return s;
}

// A fault on a DATA frame: the first answer frame and a later one (the
// middle frame of a stream; for a single answer, the one sent in the second
// pass after the request was refused once). The simulator makes the fault
// on every DATA frame it sends afresh; what it sends again on a repeat
// request goes clean, so a corrupt block always has its good repeat.
TFaultKind FrameFault(const std::string& name, const std::string& kind, const std::string& arg, TRowKind row,
                      int frames, TExpect every) {
    const std::string suffix = arg.empty() ? "" : ":" + arg;
    TFaultKind k{name, {{"1st answer frame", {kind + ":1" + suffix}}}};
    if (row == TRowKind::Stream) {
        // A frame out of sequence after the hook took others ends the
        // transfer: the register would start its answer again.
        const std::string middle = std::to_string((frames + 1) / 2);
        k.Positions.push_back(
            {"middle frame", {kind + ":" + middle + suffix}, kind == "seq" ? TExpect::Fail : TExpect::Recover});
    }
    else
        k.Positions.push_back({"answer frame of the 2nd pass", {"req:1:WAIT", kind + ":1" + suffix}});
    k.Positions.push_back({"every frame sent", Every(kind, kEvery, arg), every});
    return k;
}

// The register answers RDY or the request with these frames.
TFaultKind HandshakeFault(const std::string& name, const std::string& frames, TExpect atFirstRdy, TRowKind row) {
    TFaultKind k{name, {{"1st RDY", {"rdy:1:" + frames}, atFirstRdy}}};
    if (row == TRowKind::SecondPass)
        k.Positions.push_back({"RDY of the answer pass", {"rdy:2:" + frames}});
    if (row == TRowKind::Stream)
        k.Positions.push_back({"1st polling RDY", {"rdy:2:" + frames}});
    k.Positions.push_back({"the request", {"req:1:" + frames}});
    k.Positions.push_back({"every RDY", Every("rdy", kEvery, frames), TExpect::Fail});
    return k;
}

}  // namespace

const char* ExpectText(TExpect e) {
    switch (e) {
        case TExpect::Recover: return "recovers";
        case TExpect::Fail: return "fails";
        case TExpect::Either: return "either";
    }
    return "?";
}

std::vector<TFaultKind> FaultKinds(TRowKind row, int frames) {
    std::vector<TFaultKind> kinds;
    kinds.push_back(FrameFault("corrupt checksum", "checksum", "", row, frames, TExpect::Recover));
    kinds.push_back(HandshakeFault("WAIT", "WAIT", TExpect::Recover, row));
    kinds.push_back(HandshakeFault("BUSY", "BUSY", TExpect::Recover, row));
    // REJ or RST answering the opening RDY ends the exchange: nothing is
    // outstanding yet, so there is nothing to try again.
    kinds.push_back(HandshakeFault("REJ", "REJ", TExpect::Fail, row));
    kinds.push_back(HandshakeFault("SYN", "SYN", TExpect::Recover, row));
    kinds.push_back(HandshakeFault("RST", "RST", TExpect::Fail, row));
    // A frame sent again after SYN is a fresh frame: wrong every time, the
    // exchange runs out of frames and passes.
    kinds.push_back(FrameFault("wrong sequence number", "seq", "", row, frames, TExpect::Fail));

    TFaultKind flood{"ten handshake frames",
                     {{"1st RDY: ten ACKs", {"rdy:1:" + TenAcks()}},
                      {"the request: ten ACKs", {"flood:1"}},
                      // The register answers each RDY of the passes the ACKs fill
                      // with its first frame again: a stream gets it twice, the
                      // second time out of sequence.
                      {"the request: 25 ACKs", {"flood:1:25"}, row == TRowKind::Stream ? TExpect::Fail : TExpect::Recover},
                      {"every RDY: ten ACKs", Every("rdy", kEvery, TenAcks()), TExpect::Fail}}};
    kinds.push_back(flood);

    TFaultKind silence{"silence", {{"1st RDY", {"silent:1:1"}, TExpect::Recover, true}}};
    if (row == TRowKind::SecondPass) silence.Positions.push_back({"RDY of the answer pass", {"silent:2:1"}, TExpect::Recover, true});
    if (row == TRowKind::Stream)
        // The stream is whole; the register then stops answering the polls.
        silence.Positions.push_back({"every polling RDY", {"silent:2"}, TExpect::Either, true});
    // The sixth pass gets an answer; a goods read needs a seventh for its data.
    silence.Positions.push_back({"RDYs of five passes", {"silent:1:5"},
                                 row == TRowKind::SecondPass ? TExpect::Fail : TExpect::Recover, true});
    silence.Positions.push_back({"every RDY", {"silent:1"}, TExpect::Fail, true});
    kinds.push_back(silence);

    kinds.push_back(FrameFault("dropped bytes", "drop", "3", row, frames, TExpect::Recover));

    TFaultKind noise{"line noise", {{"before the RDY answer", {"noise:1"}}}};
    if (row == TRowKind::Stream) {
        // Inside the stream: the register sends RDY, ACK, then DATA frames.
        const std::string at = std::to_string(2 + (frames + 1) / 2);
        noise.Positions.push_back({"before the middle frame", {"noise:" + at}});
    } else {
        noise.Positions.push_back({"before the answer frame", {"noise:3"}});
    }
    noise.Positions.push_back({"before every control frame", Every("noise", kEvery), TExpect::Either});
    kinds.push_back(noise);

    // Not a fault of the line but a kind of line: a two-wire RS-485 adapter.
    TFaultPosition echo{"every byte sent comes back", {}, TExpect::Recover};
    echo.Echo = true;
    kinds.push_back({"two-wire echo", {echo}});

    const TExpect big = row == TRowKind::Stream ? TExpect::Either : TExpect::Fail;
    TFaultKind oversize{"oversize answer",
                        {{"9000 bytes", {"big:1:9000"}, big, false, 9000}, {"300 bytes", {"big:1:300"}, big, false, 300}}};
    kinds.push_back(oversize);
    return kinds;
}

}  // namespace faults
