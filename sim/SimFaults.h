// Faults the simulated register can be told to make, each on the n-th event
// of its kind, so that every recovery path of the link can be tried on a real
// line. Written on the command line as KIND:N[:ARG].
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

enum class TSimFaultKind {
    BadChecksum,     // "checksum:N"      the n-th DATA block sent carries a wrong checksum
    WrongSequence,   // "seq:N"           the n-th DATA frame sent carries the next sequence number
    DropBytes,       // "drop:N[:K]"      the n-th DATA block sent loses K data bytes (1)
    Noise,           // "noise:N[:K]"     K bytes of line noise (7) before the n-th control frame sent
    ReplyToReady,    // "rdy:N:KINDS"     the n-th RDY is answered with these frames, e.g. WAIT or SYN+RDY
    ReplyToRequest,  // "req:N:KINDS"     the n-th request is refused with these frames instead of ACK
    Flood,           // "flood:N[:K]"     the n-th request is acknowledged with K handshake frames (10),
                     //                   its answer waits for the next RDY
    Silent,          // "silent:N[:K]"    from the n-th RDY on, K RDYs (0 = all) get no answer
    Oversize,        // "big:N[:BYTES]"   the n-th request is answered with BYTES bytes (9000)
};

struct TSimFault {
    TSimFaultKind Kind = TSimFaultKind::BadChecksum;
    int Nth = 1;
    int Count = 0;  // K or BYTES; 0 takes the kind's default
    std::vector<std::uint8_t> Reply;  // control kinds for ReplyToReady / ReplyToRequest
};

// Parses "KIND:N[:ARG]"; false with the reason on a bad faultText.
bool ParseSimFault(const std::string& faultText, TSimFault& fault, std::string& error);
// Names of control frame kinds: RDY ACK WAIT BUSY REJ SYN RST DISC REP.
bool ParseSimFrameKind(const std::string& name, std::uint8_t& kind);
std::string SimFaultHelp();

// Events the register's side reports; a fault fires on the event its kind
// counts.
enum class TSimEvent { Ready, Request, DataFrame, ControlSent };

class TSimFaultPlan {
public:
    void Add(const TSimFault& fault);
    // Removes every fault and starts the event counts again.
    void Clear();
    // Counts the event and returns the faults that fire on it.
    std::vector<TSimFault> On(TSimEvent event);

private:
    std::mutex mutex_;
    std::vector<TSimFault> faults_;
    int counts_[4] = {0, 0, 0, 0};
};
