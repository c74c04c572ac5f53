#include "sim/SimLink.h"

#include "link/LinkFrames.h"

using namespace kkmlink;

namespace {

constexpr std::size_t kMaxRequest = 8192;

// The request's answer as a long stream, for the fault "big".
TSimFrames OversizeAnswer(const TSimRequest& request, int bytes) {
    std::vector<std::uint8_t> a{0x01, request.size() > 1 ? request[1] : std::uint8_t{0}, 0x00};
    for (int i = 3; i < bytes; ++i) a.push_back(static_cast<std::uint8_t>(i));
    return SplitSimFrames(a);
}

// Removes count data bytes from the middle of a block, never an escape pair
// nor a zero byte (which would leave the checksum right).
void DropDataBytes(std::vector<std::uint8_t>& block, int count) {
    for (std::size_t i = block.size() / 2; count > 0 && i + 3 < block.size() && i > 1;) {
        if (block[i] != 0 && block[i] != ESC && block[i - 1] != ESC) {
            block.erase(block.begin() + static_cast<long>(i));
            --count;
        } else {
            ++i;
        }
    }
}

}  // namespace

void TSimLink::Feed(const std::vector<std::uint8_t>& bytes, const std::vector<Clock::time_point>& arrivals) {
    for (std::size_t i = 0; i < bytes.size(); ++i) FeedByte(bytes[i], arrivals[i]);
    if (state_ == TParse::Hunt) FlushStray();
}

void TSimLink::FlushStray() {
    if (stray_.empty()) return;
    recorder_.Record(true, false, stray_.data(), stray_.size(), "stray bytes");
    stray_.clear();
}

void TSimLink::FeedByte(std::uint8_t b, Clock::time_point at) {
    switch (state_) {
        case TParse::Hunt:
            if (b == 0x7F) {
                unit_.assign(1, b);
                state_ = TParse::Header;
            } else {
                stray_.push_back(b);
            }
            break;
        case TParse::Header:
            if (b == 0x02) {
                unit_.push_back(b);
                state_ = TParse::Frame;
            } else if (b != 0x7F) {
                stray_.insert(stray_.end(), {0x7F, b});
                state_ = TParse::Hunt;
            } else {
                stray_.push_back(0x7F);
            }
            break;
        case TParse::Frame:
            unit_.push_back(b);
            if (unit_.size() == 5) {
                FlushStray();
                TSimLine::WaitUntil(at);
                OnFrame();
            }
            break;
        case TParse::Lead:
            block_.assign(1, b);
            data_.clear();
            state_ = TParse::Body;
            break;
        case TParse::Body:
            block_.push_back(b);
            if (b == ESC) {
                state_ = TParse::Escape;
            } else {
                data_.push_back(b);
                if (data_.size() > kMaxRequest) {
                    TSimLine::WaitUntil(at);
                    state_ = TParse::Hunt;
                    OnBlock(false);
                }
            }
            break;
        case TParse::Escape:
            block_.push_back(b);
            if (b == ESC_END) {
                state_ = TParse::Checksum;
            } else if (b == ESC_STUFF) {
                data_.push_back(ESC);
                state_ = TParse::Body;
            } else {
                TSimLine::WaitUntil(at);
                state_ = TParse::Hunt;
                OnBlock(false);
            }
            break;
        case TParse::Checksum:
            block_.push_back(b);
            state_ = TParse::Hunt;
            TSimLine::WaitUntil(at);
            OnBlock(static_cast<std::uint8_t>(BlockChecksum(data_.data(), data_.size()) - b) == 0);
            break;
    }
}

void TSimLink::OnFrame() {
    state_ = TParse::Hunt;
    const std::uint8_t c = unit_[3];
    if (static_cast<std::uint8_t>(unit_[2] + unit_[3] + unit_[4]) != 0) {
        recorder_.Record(true, false, unit_.data(), unit_.size(), "bad checksum");
        return;
    }
    const bool forUs = unit_[2] == PackNetNumber(net_);
    recorder_.Record(true, false, unit_.data(), unit_.size(), SimFrameName(c) + (forUs ? "" : " (other register)"));
    if (IsDataFrame(c)) {
        blockControl_ = c;
        blockForUs_ = forUs;
        state_ = TParse::Lead;
        return;
    }
    if (forUs) OnControl(c);
}

void TSimLink::OnBlock(bool good) {
    recorder_.Record(true, true, block_.data(), block_.size(), good ? "" : "bad block");
    if (!blockForUs_) return;
    if (!good) {
        SendControl(REPEAT);
        return;
    }
    OnRequest(blockControl_, data_);
}

void TSimLink::OnControl(std::uint8_t c) {
    switch (FrameKind(c)) {
        case RDY:
            for (const auto& f : faults_.On(TSimEvent::Ready)) {
                if (f.Kind == TSimFaultKind::Silent) return;
                if (f.Kind == TSimFaultKind::ReplyToReady) {
                    for (std::uint8_t k : f.Reply) SendControl(k);
                    return;
                }
            }
            if (HasAnswer())
                SendAnswerFrame();  // the answer the computer has yet to take, or take again
            else
                SendControl(RDY);
            break;
        case ACK:
            if (!unacked_) break;
            unacked_ = false;
            ++txSeq_;
            ++next_;
            if (!HasAnswer() || !(c & MORE))
                ClearAnswer();  // done, or the computer asked to stop
            else
                SendAnswerFrame();
            break;
        case REPEAT:
            Transmit(lastControl_, lastHadBlock_ ? &lastBlock_ : nullptr, "repeat");
            break;
        case DISC:
            ClearAnswer();
            break;
        case SYN:
        case RST:
            rxSeq_ = txSeq_ = 0;
            lastAccepted_ = -1;
            if (started_ && !answer_.empty()) {
                // The computer emptied what it had: the answer starts again.
                next_ = 0;
                unacked_ = false;
                SendAnswerFrame();
            }
            break;
        default:
            break;
    }
}

void TSimLink::OnRequest(std::uint8_t c, const std::vector<std::uint8_t>& data) {
    const int seq = c & 7;
    if (seq == lastAccepted_ && data == lastRequest_) {
        SendControl(ACK);  // a repeat: our acknowledgement was lost
        return;
    }
    TSimFrames frames;
    int flood = 0;
    for (const auto& f : faults_.On(TSimEvent::Request)) {
        if (f.Kind == TSimFaultKind::ReplyToRequest) {
            for (std::uint8_t k : f.Reply) SendControl(k);
            return;  // not taken
        }
        if (f.Kind == TSimFaultKind::Oversize) frames = OversizeAnswer(data, f.Count > 0 ? f.Count : 9000);
        if (f.Kind == TSimFaultKind::Flood) flood = f.Count > 0 ? f.Count : 10;
    }
    rxSeq_ = static_cast<std::uint8_t>(seq + 1);
    lastAccepted_ = seq;
    lastRequest_ = data;
    if (frames.empty()) frames = execute_(data, (c & MORE) != 0);
    answer_ = std::move(frames);
    next_ = 0;
    started_ = unacked_ = false;
    if (flood > 0) {
        for (int i = 0; i < flood; ++i) SendControl(ACK);
        return;  // the answer waits for the next RDY
    }
    SendControl(ACK);
    if (c & MORE) SendAnswerFrame();
}

void TSimLink::ClearAnswer() {
    answer_.clear();
    next_ = 0;
    started_ = unacked_ = false;
}

void TSimLink::SendAnswerFrame() {
    const auto& data = answer_[next_];
    const bool more = next_ + 1 < answer_.size();
    const auto c = static_cast<std::uint8_t>(DATA | FROM_REGISTER | (more ? MORE : 0) | (txSeq_ & 7));
    auto block = BuildDataBlock(data.data(), static_cast<int>(data.size()), 0x00, static_cast<int>(data.size()));
    lastControl_ = c;
    lastBlock_ = block;  // a repeat sends it as it should have been
    lastHadBlock_ = true;
    started_ = unacked_ = true;

    std::uint8_t sent = c;
    std::string note;
    for (const auto& f : faults_.On(TSimEvent::DataFrame)) {
        if (f.Kind == TSimFaultKind::WrongSequence) {
            sent = static_cast<std::uint8_t>((c & ~7) | ((c + 1) & 7));
            note += " fault: sequence";
        } else if (f.Kind == TSimFaultKind::BadChecksum) {
            block.back() = static_cast<std::uint8_t>(block.back() + 1);
            note += " fault: checksum";
        } else if (f.Kind == TSimFaultKind::DropBytes) {
            DropDataBytes(block, f.Count > 0 ? f.Count : 1);
            note += " fault: dropped bytes";
        }
    }
    Transmit(sent, &block, note);
}

void TSimLink::SendControl(std::uint8_t kind) {
    const auto c = static_cast<std::uint8_t>(kind | FROM_REGISTER);
    if (ResetsSequence(c)) {
        rxSeq_ = txSeq_ = 0;
        lastAccepted_ = -1;
    }
    if (FrameKind(c) == DISC) ClearAnswer();  // the register hangs up: the answer is gone
    lastControl_ = c;
    lastHadBlock_ = false;
    Transmit(c, nullptr, "");
}

void TSimLink::SendNoise(int count) {
    std::vector<std::uint8_t> noise;
    for (int i = 0; i < count; ++i) {
        noiseSeed_ = noiseSeed_ * 1103515245u + 12345u;
        noise.push_back(static_cast<std::uint8_t>(noiseSeed_ >> 16));
    }
    recorder_.Record(false, false, noise.data(), noise.size(), "fault: noise");
    line_.Send(noise, false);
}

void TSimLink::Transmit(std::uint8_t c, const std::vector<std::uint8_t>* block, const std::string& note) {
    for (const auto& f : faults_.On(TSimEvent::ControlSent))
        if (f.Kind == TSimFaultKind::Noise) SendNoise(f.Count > 0 ? f.Count : 7);
    const auto frame = BuildControlFrame(net_, c);
    // Recorded before it goes out, so that whoever sees the frame arrive finds
    // it in the history.
    recorder_.Record(false, false, frame.data(), frame.size(), SimFrameName(c) + note);
    if (block) recorder_.Record(false, true, block->data(), block->size(), "");
    line_.Send(frame.data(), frame.size(), true);
    if (block) line_.Send(*block, false);
}
