// The register's side of the link: takes the computer's frames off the line,
// answers RDY, acknowledges requests, streams the answer's DATA frames with
// the continuation bit while more follow, repeats on request and restarts on
// SYN or RST. Its own sequence counters, the direction bit set in everything
// it sends. What a request means is the business of TExecute.
#pragma once
#include "sim/SimCommands.h"
#include "sim/SimFaults.h"
#include "sim/SimLine.h"
#include "sim/SimRecorder.h"

#include <cstdint>
#include <functional>
#include <vector>

class TSimLink {
public:
    using Clock = TSimLine::Clock;
    // The request and the continuation flag of its DATA frame.
    using TExecute = std::function<TSimFrames(const TSimRequest&, bool continuation)>;

    TSimLink(TSimLine& line, TSimFaultPlan& faults, TSimRecorder& recorder, TExecute execute)
        : line_(line), faults_(faults), recorder_(recorder), execute_(std::move(execute)) {}

    void SetNetNumber(int net) { net_ = net; }
    // Bytes from the computer with the moments they arrive; each complete
    // frame is answered once its last byte is through.
    void Feed(const std::vector<std::uint8_t>& bytes, const std::vector<Clock::time_point>& arrivals);

private:
    enum class TParse { Hunt, Header, Frame, Lead, Body, Escape, Checksum };

    void FeedByte(std::uint8_t b, Clock::time_point at);
    void FlushStray();
    void OnFrame();
    void OnBlock(bool wellFormed);
    void OnControl(std::uint8_t c);
    void OnRequest(std::uint8_t c, const std::vector<std::uint8_t>& data);

    bool HasAnswer() const { return next_ < answer_.size(); }
    void ClearAnswer();
    void SendAnswerFrame();
    void SendControl(std::uint8_t kind);
    void SendNoise(int count);
    void Transmit(std::uint8_t c, const std::vector<std::uint8_t>* block, const std::string& note);

    TSimLine& line_;
    TSimFaultPlan& faults_;
    TSimRecorder& recorder_;
    TExecute execute_;
    int net_ = 1;

    // Parser of the computer's bytes.
    TParse state_ = TParse::Hunt;
    std::vector<std::uint8_t> unit_;   // control frame being read
    std::vector<std::uint8_t> stray_;  // bytes outside any frame
    std::vector<std::uint8_t> block_;  // data block as on the line
    std::vector<std::uint8_t> data_;   // its data bytes
    std::uint8_t blockControl_ = 0;
    bool blockForUs_ = false;

    // Link state.
    std::uint8_t rxSeq_ = 0, txSeq_ = 0;
    int lastAccepted_ = -1;  // sequence number of the last request taken
    std::vector<std::uint8_t> lastRequest_;
    TSimFrames answer_;
    std::size_t next_ = 0;  // answer frame to send or being sent
    bool started_ = false;  // a frame of the answer went out
    bool unacked_ = false;  // the frame next_ awaits its ACK
    std::uint8_t lastControl_ = 0;  // for a repeat request
    std::vector<std::uint8_t> lastBlock_;
    bool lastHadBlock_ = false;
    std::uint32_t noiseSeed_ = 12345;
};
