#include "kkm/RegisterProbe.h"

#include "link/ComportSystem.h"
#include "link/LinkFrames.h"

#include <algorithm>
#include <set>

using namespace kkmlink;

namespace {

// A read gives up after this long, so that a stop is seen at once.
constexpr int kReadSliceMs = 10;
// Bytes written at a time, for the same reason on a slow line.
constexpr std::size_t kWriteChunk = 20;
// The wait for a frame of the identity conversation beyond its wire time, as
// long as the link's own read time-out.
constexpr int kFrameWaitMs = 250;

// Network number from its packed decimal form; 0 when it is none.
int UnpackNet(std::uint8_t packed) {
    const int tens = packed >> 4, units = packed & 0x0F;
    if (tens > 9 || units > 9) return 0;
    const int net = tens * 10 + units;
    return net >= 1 && net <= 98 ? net : 0;
}

}  // namespace

int ProbeWaitMs(int speed, int bytesSent, int marginMs) {
    const long long bits = 10LL * (bytesSent + 10);
    return static_cast<int>((bits * 1000 + speed - 1) / speed) + marginMs;
}

TRegisterProbe::TRegisterProbe(std::string device, const std::atomic<bool>& stop, int answerMarginMs)
    : path_(std::move(device)), stop_(stop), marginMs_(answerMarginMs) {}

TRegisterProbe::~TRegisterProbe() = default;

bool TRegisterProbe::Open(bool& missing) {
    TComOpenFailure failure = TComOpenFailure::None;
    device_ = TComDevice::Open(path_, failure);
    missing = failure == TComOpenFailure::NotFound;
    return device_ != nullptr;
}

bool TRegisterProbe::SetSpeed(int speed) {
    TComTimeouts t;
    t.ReadTotalTimeoutConstant = kReadSliceMs;
    t.WriteTotalTimeoutConstant = 100;
    t.WriteTotalTimeoutMultiplier = 15;
    speed_ = speed;
    windowFill_ = 0;
    return device_ && device_->Configure(speed, t) == 0;
}

bool TRegisterProbe::Send(const std::vector<std::uint8_t>& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        if (stop_ || failed_) return false;
        const int k = static_cast<int>(std::min(kWriteChunk, bytes.size() - done));
        int written = 0;
        if (!device_->Write(bytes.data() + done, k, written) || written != k) {
            failed_ = true;
            return false;
        }
        done += static_cast<std::size_t>(k);
    }
    return true;
}

bool TRegisterProbe::SendControl(int net, std::uint8_t control) {
    const auto f = BuildControlFrame(net, control);
    return Send({f.begin(), f.end()});
}

bool TRegisterProbe::NextByte(Clock::time_point deadline, std::uint8_t& b) {
    while (!stop_ && !failed_) {
        // Past the deadline one more read still takes what has come: the
        // thread may have been kept from running, not the register from
        // answering.
        const bool late = Clock::now() >= deadline;
        int got = 0;
        if (!device_->Read(&b, 1, got)) {
            failed_ = true;
            return false;
        }
        if (got == 1) return true;
        if (late) return false;
    }
    return false;
}

bool TRegisterProbe::NextFrame(Clock::time_point deadline, int& net, std::uint8_t& control) {
    std::uint8_t b = 0;
    while (NextByte(deadline, b)) {
        // A window over the last five bytes finds a frame wherever it starts,
        // after noise or after the computer's own frames heard back.
        if (windowFill_ == 5) std::rotate(window_.begin(), window_.begin() + 1, window_.end());
        else ++windowFill_;
        window_[static_cast<std::size_t>(windowFill_ - 1)] = b;
        const auto& w = window_;
        if (windowFill_ < 5 || w[0] != 0x7F || w[1] != 0x02 || ControlChecksum(w[2], w[3]) != w[4] ||
            !(w[3] & FROM_REGISTER) || UnpackNet(w[2]) == 0)
            continue;
        net = UnpackNet(w[2]);
        control = w[3];
        windowFill_ = 0;
        return true;
    }
    return false;
}

bool TRegisterProbe::NextFrameFrom(int net, Clock::time_point deadline, std::uint8_t& control) {
    int from = 0;
    while (NextFrame(deadline, from, control))
        if (from == net) return true;
    return false;
}

TRegisterProbe::Clock::time_point TRegisterProbe::AnswerDeadline(int bytes) const {
    return Clock::now() + std::chrono::microseconds(10'000'000LL * bytes / speed_) +
           std::chrono::milliseconds(kFrameWaitMs);
}

std::vector<int> TRegisterProbe::Probe(const std::vector<int>& nets) {
    std::vector<std::uint8_t> out;
    for (int net : nets) {
        const auto f = BuildControlFrame(net, RDY);
        out.insert(out.end(), f.begin(), f.end());
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(ProbeWaitMs(speed_, static_cast<int>(out.size()), marginMs_));
    std::set<int> heard;
    if (!Send(out)) return {};
    const std::set<int> wanted(nets.begin(), nets.end());
    int net = 0;
    std::uint8_t control = 0;
    while (heard.size() < wanted.size() && NextFrame(deadline, net, control))
        if (wanted.count(net)) heard.insert(net);
    return {heard.begin(), heard.end()};
}

bool TRegisterProbe::Identify(int net, TKKMIdentity& identity) {
    // DISC drops an answer the register may still hold for someone else;
    // then both sequence counters start again, since a register would take a
    // request numbered like its last one for a repeat and answer ACK alone.
    if (!SendControl(net, DISC) || !SendControl(net, SYN) || !SendControl(net, RDY)) return false;
    std::uint8_t c = 0;
    if (!NextFrameFrom(net, AnswerDeadline(5), c) || IsDataFrame(c) || FrameKind(c) != RDY) return false;

    const std::uint8_t request[] = {0x01, 0x01};
    const auto head = BuildControlFrame(net, static_cast<std::uint8_t>(DATA | MORE));
    const auto block = BuildDataBlock(request, sizeof request);
    std::vector<std::uint8_t> frame(head.begin(), head.end());
    frame.insert(frame.end(), block.begin(), block.end());
    if (!Send(frame)) return false;
    if (!NextFrameFrom(net, AnswerDeadline(5), c) || IsDataFrame(c) || FrameKind(c) != ACK) return false;
    if (!NextFrameFrom(net, AnswerDeadline(5 + 2 * KKMIdentityAnswerLength + 4), c) || !IsDataFrame(c)) return false;

    std::uint8_t answer[MaxBlockData];
    TDataBlockDecoder decoder(answer, MaxBlockData);
    const auto deadline = AnswerDeadline(2 * KKMIdentityAnswerLength + 4);
    auto state = TDataBlockDecoder::NeedMore;
    for (std::uint8_t b = 0; state == TDataBlockDecoder::NeedMore && NextByte(deadline, b);) state = decoder.Put(b);
    if (state != TDataBlockDecoder::Done) return false;
    // Acknowledged without the continuation bit: anything more is not wanted.
    // Then hang up and leave both counters at 0 for whoever connects next.
    if (SendControl(net, ACK) && SendControl(net, DISC) && SendControl(net, SYN)) {
        // They must be through before the line changes speed, which would
        // garble them.
        const auto through = Clock::now() + std::chrono::milliseconds(ProbeWaitMs(speed_, 15, marginMs_));
        for (std::uint8_t b = 0; NextByte(through, b);) {
        }
    }
    if (decoder.Length() != KKMIdentityAnswerLength || answer[2] != 0) return false;
    identity = DecodeKKMIdentity(answer);
    return true;
}
