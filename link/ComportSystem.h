// What TComPort needs from the operating system: open a serial device
// exclusively, set its line, read and write with the port's time-outs. All
// system calls of the serial port live behind this interface (ComportPosix.cpp
// on POSIX systems, ComportWin.cpp on Windows).
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
// The system's codes for "the port is not open" and "no such device".
int ComNotOpenError();
int ComNoDeviceError();

// The device of port n: "\\.\COM<n>" on Windows; here the target of the link
// ports/COM<n> in the working directory when there is one, else COM1-32 =
// /dev/ttyS0-31, COM33-64 = /dev/ttyUSB0-31, COM65-96 = /dev/ttyACM0-31.
// Empty for a number that names no device.
std::string ComDevicePath(int n);
// How port numbers map to devices here, for a program's help text: lines of
// at most 60 characters, each ending in a newline.
std::string ComPortNaming();
// A serial device of that name is present (it may be busy).
bool ComDeviceExists(const std::string& device);
// The port numbers a listing tries, in order: the system's own list of
// serial ports where it keeps one (Windows), else 1..256.
std::vector<int> ComListedPorts();

// Target of a symbolic link (relative targets resolved against the link's
// folder); false when the path is no link.
bool ComReadLink(const std::string& path, std::string& target);

// The device a path stands for, with links and "//" or ".." steps resolved;
// the path itself when it cannot be resolved.
std::string ComResolvePath(const std::string& path);
// Whether the device takes serial line settings: a serial port driver's
// device, or the far end of a pseudo-terminal (where simulated registers
// sit). Consoles, terminals of the system and other devices do not, and are
// never opened as a register's line.
bool ComIsSerialDevice(const std::string& path);
