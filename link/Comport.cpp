#include "link/Comport.h"

#include "app/Dialog.h"
#include "app/IniFile.h"
#include "app/U_filedirwork.h"
#include "link/ComportSystem.h"
#include "link/LinkFrames.h"

#include <cerrno>

namespace {

constexpr int kMaxPort = 256;
constexpr int kValidSpeeds[] = {2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000};

const char* const kInaccessible = "Selected СОМ-port inaccessible!";
const char* const kBusy = "Selected СОМ-port busy!";

std::string ConfigureErrorText(int result) {
    switch (result) {
        case -4: return "Config timeout!";
        case -3: return "Config inaccessible!";
        case -2: return "Block dcb inaccessible!";
        case -1: return kInaccessible;
        default: return std::string(kInaccessible) + " error=" + std::to_string(result);
    }
}

// A relative name is taken from the working directory.
std::string FullIniName(const std::string& fileName) {
    if (!fileName.empty() && fileName[0] == '/') return fileName;
    return JoinPath(CurrentDir(), fileName);
}

}  // namespace

bool IsValidSpeed(int speed) {
    for (int s : kValidSpeeds)
        if (s == speed) return true;
    return false;
}

std::string SysErrorText() { return ComErrorText(ComLastError()).substr(0, 1000); }

std::string PortDevicePath(int n) {
    std::string target;
    if (ComReadLink(JoinPath(JoinPath(CurrentDir(), "ports"), "COM" + std::to_string(n)), target)) return target;
    if (n >= 1 && n <= 32) return "/dev/ttyS" + std::to_string(n - 1);
    if (n >= 33 && n <= 64) return "/dev/ttyUSB" + std::to_string(n - 33);
    if (n >= 65 && n <= 96) return "/dev/ttyACM" + std::to_string(n - 65);
    return "";
}

TComPort::TComPort() = default;
TComPort::~TComPort() = default;

std::string TComPort::DeviceName() const { return devicePath_.empty() ? PortDevicePath(portNumber_) : devicePath_; }

bool TComPort::IsOpen() const { return device_ != nullptr; }

bool TComPort::Open() {
    const std::string name = DeviceName();
    MT(name + " " + std::to_string(speed_), mdHardWare);
    if (device_) return true;
    MT("init COM", mdHardWare);
    TComOpenFailure failure = TComOpenFailure::None;
    auto device = TComDevice::Open(name, failure);
    openFailure_ = failure;
    if (!device) {
        // The system's own reason says what the two texts cannot, for
        // example a user lacking permission on the device.
        const std::string reason = (name.empty() ? std::string("COM") + std::to_string(portNumber_) : name) + ": " +
                                   (name.empty() ? ComErrorText(ENOENT) : SysErrorText());
        Error(failure == TComOpenFailure::NotFound ? kInaccessible : kBusy, false, true, true);
        Error(reason, false, true, true);
        return false;
    }
    MT("Config СОМ-port", mdHardWare);
    TComTimeouts t;
    t.ReadIntervalTimeout = ReadIntervalTimeout;
    t.ReadTotalTimeoutMultiplier = ReadTotalTimeoutMultiplier;
    t.ReadTotalTimeoutConstant = ReadTotalTimeoutConstant;
    t.WriteTotalTimeoutMultiplier = WriteTotalTimeoutMultiplier;
    t.WriteTotalTimeoutConstant = WriteTotalTimeoutConstant;
    const int result = device->Configure(speed_, t);
    if (result != 0) {
        openFailure_ = TComOpenFailure::NotSerial;
        Error(ConfigureErrorText(result), true, true, true);
        Error(name + " " + std::to_string(speed_) + ": " + SysErrorText(), false, true, true);
        return false;  // the device closes as it goes out of scope
    }
    MT("Line " + std::to_string(speed_) + " 8N1" + (device->LowLatency() ? ", low latency" : ""), mdHardWare);
    device_ = std::move(device);
    return true;
}

bool TComPort::Close() {
    if (!device_) return false;
    device_.reset();
    return true;
}

bool TComPort::SetSpeed(int speed) {
    if (!IsValidSpeed(speed)) return false;
    Close();
    speed_ = speed;
    return true;
}

bool TComPort::SetPortNumber(int number) {
    if (number < 1 || number > kMaxPort) return false;
    portNumber_ = number;
    return true;
}

bool TComPort::Write(const std::uint8_t* buf, int& count) {
    MT("WriteToCOM:" + kkmlink::HexBytes(buf, static_cast<std::size_t>(count > 0 ? count : 0)), mdHardWare);
    const int want = count;
    bool ok = false;
    if (device_) {
        ok = device_->Write(buf, want, count);
    } else {
        SetComLastError(EBADF);
        count = 0;
    }
    if (ok && count == want) return true;
    ET("no write to СОМ port", mdHardWare);
    return false;
}

int TComPort::Available() { return device_ ? device_->Available() : 0; }

bool TComPort::PurgeInput() { return device_ && device_->PurgeInput(); }

bool TComPort::Read(std::uint8_t* buf, int& count) {
    const int want = count;
    bool ok = false;
    if (device_) {
        ok = device_->Read(buf, want, count);
    } else {
        SetComLastError(EBADF);
        count = 0;
    }
    if (MessDepth == mdHardWare) {
        if (!ok) Error("no read from СОМ port:" + SysErrorText(), false, true, true);
        else if (count < want) Error("no read from СОМ port(Length):" + SysErrorText(), false, true, true);
    }
    if (!ok || count < want) return false;
    MT("ReadFromCOM:" + kkmlink::HexBytes(buf, static_cast<std::size_t>(count)), mdHardWare);
    return true;
}

bool TComPort::LoadFromIni(const std::string& fileName, const std::string& section) {
    const TIniFile ini(FullIniName(fileName));
    bool ok = true;
    const int port = ini.ReadInteger(section, "COMPort", 1);
    if (!SetPortNumber(port)) {
        Error("invalid COM port", false, true, true);
        ok = false;
    }
    const int speed = ini.ReadInteger(section, "Speed", speed_);
    if (IsValidSpeed(speed)) {
        speed_ = speed;  // the port is not open while settings load; Open applies it
    } else {
        Error("invalid speed", false, true, true);
        ok = false;
    }
    ReadTotalTimeoutConstant = ini.ReadInteger(section, "ReadTotalTimeoutConstant", ReadTotalTimeoutConstant);
    ReadTotalTimeoutMultiplier = ini.ReadInteger(section, "ReadTotalTimeoutMultiplier", ReadTotalTimeoutMultiplier);
    ReadIntervalTimeout = ini.ReadInteger(section, "ReadIntervalTimeout", ReadIntervalTimeout);
    WriteTotalTimeoutConstant = ini.ReadInteger(section, "WriteTotalTimeoutConstant", WriteTotalTimeoutConstant);
    WriteTotalTimeoutMultiplier = ini.ReadInteger(section, "WriteTotalTimeoutMultiplier", WriteTotalTimeoutMultiplier);
    return ok;
}

bool TComPort::SaveToIni(const std::string& fileName, const std::string& section, std::string* error) {
    TIniFile ini(FullIniName(fileName));
    bool ok = ini.WriteInteger(section, "COMPort", portNumber_);
    ok = ini.WriteInteger(section, "Speed", speed_) && ok;
    ok = ini.WriteInteger(section, "ReadTotalTimeoutConstant", ReadTotalTimeoutConstant) && ok;
    ok = ini.WriteInteger(section, "ReadTotalTimeoutMultiplier", ReadTotalTimeoutMultiplier) && ok;
    ok = ini.WriteInteger(section, "ReadIntervalTimeout", ReadIntervalTimeout) && ok;
    ok = ini.WriteInteger(section, "WriteTotalTimeoutConstant", WriteTotalTimeoutConstant) && ok;
    ok = ini.WriteInteger(section, "WriteTotalTimeoutMultiplier", WriteTotalTimeoutMultiplier) && ok;
    if (!ok) Error(ini.LastError(), false, true, true);
    if (!ok && error) *error = ini.LastError();
    return ok;
}

std::string EnumComPorts() {
    std::string out;
    for (int n = 1; n <= kMaxPort; ++n) {
        const std::string path = PortDevicePath(n);
        if (path.empty()) continue;
        TComOpenFailure failure = TComOpenFailure::None;
        auto device = TComDevice::Open(path, failure);
        if (!device && failure == TComOpenFailure::NotFound) continue;
        out += "COM" + std::to_string(n) + (device ? "" : "  BUSY") + "\r\n";
    }
    return out;
}
