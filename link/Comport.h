// The serial port the register hangs on: device, line speed, time-outs and
// the open device. Blocking reads and writes of exact byte counts.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

class TComDevice;

// Why a port did not open. NotSerial: opened, but the line settings cannot
// be applied (a plain file).
enum class TComOpenFailure { None, NotFound, Busy, NotSerial };

class TComPort {
public:
    TComPort();
    ~TComPort();
    TComPort(const TComPort&) = delete;
    TComPort& operator=(const TComPort&) = delete;

    // A read of n bytes waits at most ReadTotalTimeoutConstant +
    // ReadTotalTimeoutMultiplier·n ms and gives up when more than
    // ReadIntervalTimeout ms pass between two bytes; a write of n bytes may
    // take WriteTotalTimeoutConstant + WriteTotalTimeoutMultiplier·n ms.
    // Changes apply at the next Open.
    std::int32_t ReadTotalTimeoutConstant = 250;
    std::int32_t ReadTotalTimeoutMultiplier = 9;
    std::int32_t ReadIntervalTimeout = 6;
    std::int32_t WriteTotalTimeoutConstant = 100;
    std::int32_t WriteTotalTimeoutMultiplier = 15;

    // True when the port is open afterwards (also when it already was).
    bool Open();
    // Why the last Open failed (None after a successful one).
    TComOpenFailure OpenFailure() const { return openFailure_; }
    // False when it was not open.
    bool Close();
    bool IsOpen() const;

    // False, changing nothing, unless a valid speed; otherwise closes the
    // port so that the next Open uses the new speed.
    bool SetSpeed(int speed);
    int GetSpeed() const { return speed_; }
    // False unless 1..256; the port stays as it is.
    bool SetPortNumber(int number);
    int GetPortNumber() const { return portNumber_; }

    // An explicit device path used instead of the port number's device
    // (empty: back to the port number). Takes effect at the next Open.
    void SetDevicePath(const std::string& path) { devicePath_ = path; }
    const std::string& DevicePath() const { return devicePath_; }
    // The device that Open opens: the explicit path, else PortDevicePath of
    // the port number.
    std::string DeviceName() const;

    // Reads up to count bytes; count becomes the number read. True only when
    // all came.
    bool Read(std::uint8_t* buf, int& count);
    // Writes count bytes and returns when the driver has sent them (at the
    // latest at the write time-out); count becomes the number written. True
    // only when all went. The next Read's time-out counts from when they are
    // through on the line (10 bits a byte), not from when they were queued.
    bool Write(const std::uint8_t* buf, int& count);
    // Bytes already received that no Read has taken yet.
    int Available();
    // Empties the input. Unlike closing and opening, this leaves DTR and RTS
    // alone: their pulse on opening can reset a device or turn an RS-485
    // adapter round.
    bool PurgeInput();

    // Keys COMPort, Speed and the five time-outs of the section. A relative
    // file name is taken from the working directory.
    bool LoadFromIni(const std::string& fileName, const std::string& section);
    // error, when given, receives the reason of a failed write.
    bool SaveToIni(const std::string& fileName, const std::string& section, std::string* error = nullptr);

private:
    std::unique_ptr<TComDevice> device_;
    TComOpenFailure openFailure_ = TComOpenFailure::None;
    int speed_ = 19200;
    int portNumber_ = 0;
    std::string devicePath_;
};

// "COM<n>" + CR LF for each port 1..256 that opens, "COM<n>  BUSY" + CR LF for
// each that exists but refuses; missing ports are left out.
std::string EnumComPorts();
bool IsValidSpeed(int speed);
// The system's text for the last error of the serial port functions.
std::string SysErrorText();

// Device of port n: the target of the link ports/COM<n> in the working
// directory when there is one; else COM1-32 = /dev/ttyS0-31, COM33-64 =
// /dev/ttyUSB0-31, COM65-96 = /dev/ttyACM0-31; empty for other numbers.
std::string PortDevicePath(int n);
