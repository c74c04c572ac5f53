// The register's end of the serial line: the master side of a
// pseudo-terminal whose device the configurator opens as its port. Bytes go
// out and are taken in at the line speed (10 bits per byte) so that timings
// are those of a real line; speed 0 turns pacing off.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class TSimLine {
public:
    using Clock = std::chrono::steady_clock;

    TSimLine() = default;
    ~TSimLine();
    TSimLine(const TSimLine&) = delete;
    TSimLine& operator=(const TSimLine&) = delete;

    // Creates the pseudo-terminal; its device path is what the computer opens.
    bool Open(std::string& error);
    void Close();
    bool IsOpen() const { return master_ >= 0; }
    const std::string& DevicePath() const { return path_; }

    void SetSpeed(int baud) { speed_ = baud; }
    int Speed() const { return speed_; }
    // Strict: while the computer's side is set to another speed than the
    // line's, what either side sends is lost, as on a real line.
    void SetStrictSpeed(bool on) { strictSpeed_ = on; }
    // Time one byte takes on the line (zero without pacing).
    Clock::duration ByteTime() const;

    // Sends the bytes as the line carries them, each byte one byte time after
    // the one before; a unit that must arrive whole (a control frame) is
    // handed over when its last byte is through. False when the computer's
    // side cannot take them.
    bool Send(const std::uint8_t* bytes, std::size_t n, bool whole);
    bool Send(const std::vector<std::uint8_t>& bytes, bool whole) { return Send(bytes.data(), bytes.size(), whole); }

    enum class TReceive { Data, Timeout, Woken, Failed };
    // Waits up to timeoutMs for bytes from the computer (or for wakeFd to
    // become readable) and appends them, each with the moment its last bit
    // arrives on the line.
    TReceive Receive(std::vector<std::uint8_t>& bytes, std::vector<Clock::time_point>& arrivals, int timeoutMs,
                     int wakeFd = -1);

    static void WaitUntil(Clock::time_point when);

private:
    // False when strict and the computer's side runs at another speed.
    bool SpeedsMatch() const;

    int master_ = -1;
    int slave_ = -1;  // held open so the line stays up while the computer reopens its port
    std::string path_;
    int speed_ = 0;
    bool strictSpeed_ = false;
    Clock::time_point txFree_{};  // when the line's transmit side is free again
    Clock::time_point rxFree_{};  // when the last received byte is through
};
