#include "sim/SimFaults.h"

#include "link/LinkFrames.h"

#include <algorithm>

namespace {

struct TKindName {
    const char* Name;
    TSimFaultKind Kind;
    TSimEvent Event;
    bool NeedsReply;
};

const TKindName kKinds[] = {
    {"checksum", TSimFaultKind::BadChecksum, TSimEvent::DataFrame, false},
    {"seq", TSimFaultKind::WrongSequence, TSimEvent::DataFrame, false},
    {"drop", TSimFaultKind::DropBytes, TSimEvent::DataFrame, false},
    {"noise", TSimFaultKind::Noise, TSimEvent::ControlSent, false},
    {"rdy", TSimFaultKind::ReplyToReady, TSimEvent::Ready, true},
    {"req", TSimFaultKind::ReplyToRequest, TSimEvent::Request, true},
    {"flood", TSimFaultKind::Flood, TSimEvent::Request, false},
    {"silent", TSimFaultKind::Silent, TSimEvent::Ready, false},
    {"big", TSimFaultKind::Oversize, TSimEvent::Request, false},
};

const TKindName& Describe(TSimFaultKind kind) {
    for (const auto& k : kKinds)
        if (k.Kind == kind) return k;
    return kKinds[0];
}

bool ParsePositive(const std::string& text, int& out) {
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), ::isdigit)) return false;
    out = std::stoi(text);
    return true;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= s.size(); ++i)
        if (i == s.size() || s[i] == sep) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    return parts;
}

}  // namespace

bool ParseSimFrameKind(const std::string& name, std::uint8_t& kind) {
    using namespace kkmlink;
    static const struct {
        const char* Name;
        std::uint8_t Kind;
    } names[] = {{"RDY", RDY},   {"ACK", ACK}, {"WAIT", WAIT}, {"BUSY", BUSY}, {"REJ", REJ},
                 {"SYN", SYN},   {"RST", RST}, {"DISC", DISC}, {"REP", REPEAT}};
    for (const auto& n : names)
        if (name == n.Name) {
            kind = n.Kind;
            return true;
        }
    return false;
}

bool ParseSimFault(const std::string& faultText, TSimFault& fault, std::string& error) {
    const auto parts = Split(faultText, ':');
    const TKindName* kind = nullptr;
    for (const auto& k : kKinds)
        if (parts[0] == k.Name) kind = &k;
    if (!kind) {
        error = "unknown fault \"" + parts[0] + "\"";
        return false;
    }
    TSimFault f;
    f.Kind = kind->Kind;
    if (parts.size() < 2 || !ParsePositive(parts[1], f.Nth) || f.Nth < 1) {
        error = "fault \"" + faultText + "\": the event number N (1 or more) is missing";
        return false;
    }
    if (parts.size() > 3) {
        error = "fault \"" + faultText + "\": too many parts";
        return false;
    }
    if (kind->NeedsReply) {
        if (parts.size() < 3) {
            error = "fault \"" + faultText + "\": the frames to answer with are missing (e.g. WAIT or SYN+RDY)";
            return false;
        }
        for (const auto& name : Split(parts[2], '+')) {
            std::uint8_t k = 0;
            if (!ParseSimFrameKind(name, k)) {
                error = "fault \"" + faultText + "\": unknown frame kind \"" + name + "\"";
                return false;
            }
            f.Reply.push_back(k);
        }
    } else if (parts.size() == 3 && !ParsePositive(parts[2], f.Count)) {
        error = "fault \"" + faultText + "\": the count must be a whole number";
        return false;
    }
    fault = f;
    return true;
}

std::string SimFaultHelp() {
    return "  checksum:N       the n-th DATA block sent has a wrong checksum\n"
           "  seq:N            the n-th DATA frame sent has a wrong sequence number\n"
           "  drop:N[:K]       the n-th DATA block sent loses K data bytes (1)\n"
           "  noise:N[:K]      K noise bytes (7) before the n-th control frame sent\n"
           "  rdy:N:KINDS      answer the n-th RDY with KINDS, e.g. WAIT, BUSY, REJ, SYN+RDY, RST\n"
           "  req:N:KINDS      refuse the n-th request with KINDS instead of ACK, e.g. WAIT\n"
           "  flood:N[:K]      acknowledge the n-th request with K handshake frames (10)\n"
           "  silent:N[:K]     do not answer K RDYs (0: none at all) from the n-th on\n"
           "  big:N[:BYTES]    answer the n-th request with BYTES bytes (9000)\n"
           "  KINDS: RDY ACK WAIT BUSY REJ SYN RST DISC REP joined by +\n";
}

void TSimFaultPlan::Add(const TSimFault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(fault);
}

void TSimFaultPlan::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.clear();
    std::fill(std::begin(counts_), std::end(counts_), 0);
}

std::vector<TSimFault> TSimFaultPlan::On(TSimEvent event) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int n = ++counts_[static_cast<int>(event)];
    std::vector<TSimFault> fired;
    for (const auto& f : faults_) {
        if (Describe(f.Kind).Event != event) continue;
        const bool hit = f.Kind == TSimFaultKind::Silent ? (n >= f.Nth && (f.Count == 0 || n < f.Nth + f.Count))
                                                         : n == f.Nth;
        if (hit) fired.push_back(f);
    }
    return fired;
}
