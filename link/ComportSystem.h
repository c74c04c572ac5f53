// What TComPort needs from the operating system: open a serial device
// exclusively, set its line, read and write with the port's time-outs. All
// system calls of the serial port live behind this interface (ComportPosix.cpp
// on POSIX systems; a Windows implementation goes beside it).
#pragma once
#include "link/Comport.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TComTimeouts {
    int ReadIntervalTimeout = 0;
    int ReadTotalTimeoutMultiplier = 0;
    int ReadTotalTimeoutConstant = 0;
    int WriteTotalTimeoutMultiplier = 0;
    int WriteTotalTimeoutConstant = 0;
};


class TComDevice {
public:
    // Opens the device for reading and writing, exclusively. On failure
    // returns null, says whether the device is missing or refused, and leaves
    // the system's error for SysErrorText.
    static std::unique_ptr<TComDevice> Open(const std::string& path, TComOpenFailure& failure);
    ~TComDevice();
    TComDevice(const TComDevice&) = delete;
    TComDevice& operator=(const TComDevice&) = delete;

    // Raw line at the speed, 8 data bits, no parity, one stop bit, no flow
    // control, low latency where the driver offers it, then purge. 0 on
    // success; -2 line settings unreadable, -3 not applicable (speed
    // included), -4 time-outs not applicable, -1 the purge failed.
    int Configure(int speed, const TComTimeouts& timeouts);
    // The driver took the low-latency mode (USB adapters batch input otherwise).
    bool LowLatency() const { return lowLatency_; }

    // Windows time-out semantics: a read of n bytes ends after n bytes, after
    // constant + multiplier·n ms in total, or when more than the interval
    // passes between two bytes after the first. got/written report the count.
    // False only when the system call failed; a time-out returns true with
    // fewer bytes.
    bool Read(std::uint8_t* buf, int count, int& got);
    // Returns when the driver has sent the bytes, as a synchronous write
    // does (within the write time-out; bytes still queued then are discarded
    // and not counted). The time-out of the next Read starts no earlier than
    // the bytes' own line time at 10 bits a byte after the write began.
    bool Write(const std::uint8_t* buf, int count, int& written);
    // Bytes received and not yet read: the driver's and those taken already.
    int Available();
    // Empties the input without touching the line's modem signals.
    bool PurgeInput();

private:
    explicit TComDevice(std::intptr_t handle) : handle_(handle) {}

    std::intptr_t handle_;
    TComTimeouts timeouts_{};
    int speed_ = 0;
    bool lowLatency_ = false;
    // When the bytes written so far are through on the line.
    std::chrono::steady_clock::time_point lineBusyUntil_{};
    // Bytes already taken from the driver but not yet handed to a reader.
    std::vector<std::uint8_t> pending_;
    std::size_t pendingPos_ = 0;
};

// The last system error of the serial port functions (this thread).
int ComLastError();
void SetComLastError(int code);
std::string ComErrorText(int code);

// Target of a symbolic link (relative targets resolved against the link's
// folder); false when the path is no link.
bool ComReadLink(const std::string& path, std::string& target);
