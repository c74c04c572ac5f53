// One port of the register search, worked from a thread of its own: RDY
// frames at one line speed and the answers to them, and the identity command
// to each register that answered. It touches its own device only (no
// messages, no window, no shared link object), so that every port can be
// searched at once while the exchange itself stays on the window's thread.
#pragma once
#include "kkm/KKMCommands.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TComDevice;

// What a register may take beyond the wire time to answer RDY.
constexpr int DefaultAnswerMarginMs = 60;

// Milliseconds to listen after sending bytesSent bytes at a speed: their wire
// time and that of ten bytes more (10 bits a byte), plus the margin.
int ProbeWaitMs(int speed, int bytesSent, int marginMs = DefaultAnswerMarginMs);

class TRegisterProbe {
public:
    TRegisterProbe(std::string device, const std::atomic<bool>& stop, int answerMarginMs = DefaultAnswerMarginMs);
    ~TRegisterProbe();
    TRegisterProbe(const TRegisterProbe&) = delete;
    TRegisterProbe& operator=(const TRegisterProbe&) = delete;

    // Opens the device exclusively; false when it is missing (missing set)
    // or held by another program.
    bool Open(bool& missing);
    // The line at this speed, input emptied; false when the driver refuses it.
    bool SetSpeed(int speed);
    // RDY to every number of nets, back to back, then listens: the numbers
    // that answered, ascending. Returns as soon as all have answered.
    std::vector<int> Probe(const std::vector<int>& nets);
    // The identity command to the register at net; false when the
    // conversation does not complete or the register refuses it.
    bool Identify(int net, TKKMIdentity& identity);
    // The device failed (the other end is gone): nothing more to do here.
    bool Failed() const { return failed_; }

private:
    using Clock = std::chrono::steady_clock;

    bool Send(const std::vector<std::uint8_t>& bytes);
    bool SendControl(int net, std::uint8_t control);
    bool NextByte(Clock::time_point deadline, std::uint8_t& b);
    // The next control frame from a register (direction bit set, checksum
    // right) whatever its address; bytes of anything else are skipped.
    bool NextFrame(Clock::time_point deadline, int& net, std::uint8_t& control);
    bool NextFrameFrom(int net, Clock::time_point deadline, std::uint8_t& control);
    // When a frame of `bytes` bytes should have come by, from now.
    Clock::time_point AnswerDeadline(int bytes) const;

    std::string path_;
    const std::atomic<bool>& stop_;
    std::unique_ptr<TComDevice> device_;
    int marginMs_;
    int speed_ = 0;
    bool failed_ = false;
    std::array<std::uint8_t, 5> window_{};  // the last five bytes heard
    int windowFill_ = 0;
};
