// Windows serial device: the communication calls the register link was
// designed around (synchronous ReadFile/WriteFile under COMMTIMEOUTS).
#include "link/ComportSystem.h"

#include "app/WinText.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

thread_local int g_lastError = 0;

HANDLE H(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

void KeepLastError() { g_lastError = static_cast<int>(GetLastError()); }

// Time one byte takes on the line at 10 bits a byte (zero for no speed).
Clock::duration ByteTime(int speed) {
    if (speed <= 0) return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(10'000'000'000LL / speed));
}

}  // namespace

int ComLastError() { return g_lastError; }
void SetComLastError(int code) { g_lastError = code; }
std::string ComErrorText(int code) { return WinErrorText(static_cast<unsigned long>(code)); }
int ComNotOpenError() { return ERROR_INVALID_HANDLE; }
int ComNoDeviceError() { return ERROR_FILE_NOT_FOUND; }

// "\\.\COMn" reaches ports above 9 too.
std::string ComDevicePath(int n) { return n >= 1 ? "\\\\.\\COM" + std::to_string(n) : std::string(); }
std::string ComPortNaming() { return "the serial port COM<N> (vornik-cli ports lists them)\n"; }

// The system's serial port list: the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM
// hold the port names ("COM3"). Ports not in it are never opened by a listing.
std::vector<int> ComListedPorts() {
    std::set<int> numbers;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    for (DWORD i = 0;; ++i) {
        wchar_t name[256], data[64];
        DWORD nameSize = 256, dataSize = sizeof data, type = 0;
        const LONG r = RegEnumValueW(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        const std::wstring port(data, wcsnlen(data, dataSize / sizeof(wchar_t)));
        if (port.size() < 4 || _wcsnicmp(port.c_str(), L"COM", 3) != 0) continue;
        const int n = _wtoi(port.c_str() + 3);
        if (n >= 1 && n <= 256) numbers.insert(n);
    }
    RegCloseKey(key);
    return {numbers.begin(), numbers.end()};
}

// "\\.\COMn" names the DOS device COMn.
bool ComDeviceExists(const std::string& device) {
    const std::string prefix = "\\\\.\\";
    if (device.compare(0, prefix.size(), prefix) != 0) return false;
    char target[1024];
    return QueryDosDeviceA(device.substr(prefix.size()).c_str(), target, sizeof target) != 0;
}

bool ComReadLink(const std::string&, std::string&) { return false; }

// "\\.\com3" and "\\.\COM3" are one device: the name is kept in one case.
std::string ComResolvePath(const std::string& path) {
    std::string resolved = path;
    for (char& c : resolved) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return resolved;
}

// Only COM devices are named "\\.\COMn", and the system's serial-port
// list holds serial drivers only.
bool ComIsSerialDevice(const std::string& path) {
    const std::string prefix = "\\\\.\\COM";
    return ComResolvePath(path).compare(0, prefix.size(), prefix) == 0 && ComDeviceExists(path);
}

std::unique_ptr<TComDevice> TComDevice::Open(const std::string& path, TComOpenFailure& failure) {
    failure = TComOpenFailure::None;
    // Exclusive (no sharing), existing device only, no overlapped input/output.
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        KeepLastError();
        const DWORD e = GetLastError();
        failure = e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? TComOpenFailure::NotFound : TComOpenFailure::Busy;
        return nullptr;
    }
    return std::unique_ptr<TComDevice>(new TComDevice(reinterpret_cast<std::intptr_t>(h)));
}

TComDevice::~TComDevice() { CloseHandle(H(handle_)); }

int TComDevice::Configure(int speed, const TComTimeouts& timeouts) {
    const HANDLE h = H(handle_);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb)) {
        KeepLastError();
        return -2;
    }
    dcb.BaudRate = static_cast<DWORD>(speed);
    dcb.ByteSize = 8;
    // 8N1 whatever another program left: the register speaks nothing else.
    dcb.Parity = NOPARITY;
    dcb.fParity = FALSE;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = TRUE;
    dcb.XonLim = 256;
    dcb.XoffLim = 2048;
    dcb.XonChar = 0x7F;
    dcb.XoffChar = 0x7F;
    dcb.ErrorChar = 0x00;
    dcb.EofChar = 0x03;
    dcb.EvtChar = 0x02;
    if (!SetCommState(h, &dcb)) {
        KeepLastError();
        return -3;
    }
    speed_ = speed;

    COMMTIMEOUTS t{};
    if (!GetCommTimeouts(h, &t)) {
        KeepLastError();
        return -4;
    }
    t.ReadIntervalTimeout = static_cast<DWORD>(timeouts.ReadIntervalTimeout);
    t.ReadTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.ReadTotalTimeoutMultiplier);
    t.ReadTotalTimeoutConstant = static_cast<DWORD>(timeouts.ReadTotalTimeoutConstant);
    t.WriteTotalTimeoutMultiplier = static_cast<DWORD>(timeouts.WriteTotalTimeoutMultiplier);
    t.WriteTotalTimeoutConstant = static_cast<DWORD>(timeouts.WriteTotalTimeoutConstant);
    if (!SetCommTimeouts(h, &t)) {
        KeepLastError();
        return -4;
    }
    timeouts_ = timeouts;

    PurgeComm(h, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(h, &errors, &stat)) {
        KeepLastError();
        return -1;
    }
    return static_cast<int>(errors);
}

bool TComDevice::Read(std::uint8_t* buf, int count, int& got) {
    got = 0;
    if (count <= 0) return true;
    // What we sent is still going out when the driver does not wait for the
    // line (a virtual port): the reply window opens after it.
    std::this_thread::sleep_until(lineBusyUntil_);
    DWORD n = 0;
    if (!ReadFile(H(handle_), buf, static_cast<DWORD>(count), &n, nullptr)) {
        KeepLastError();
        got = static_cast<int>(n);
        return false;
    }
    got = static_cast<int>(n);
    if (got < count) SetComLastError(ERROR_TIMEOUT);
    return true;
}

bool TComDevice::Write(const std::uint8_t* buf, int count, int& written) {
    written = 0;
    const HANDLE h = H(handle_);
    const auto start = Clock::now();
    DWORD n = 0;
    if (!WriteFile(h, buf, static_cast<DWORD>(count), &n, nullptr)) {
        KeepLastError();
        written = static_cast<int>(n);
        return false;
    }
    written = static_cast<int>(n);
    if (written < count) SetComLastError(ERROR_TIMEOUT);
    // The register's reply window opens when the request is through, not when
    // the driver has queued it.
    if (!FlushFileBuffers(h)) {
        KeepLastError();
        return false;
    }
    lineBusyUntil_ = std::max(lineBusyUntil_, start) + ByteTime(speed_) * written;
    return true;
}

int TComDevice::Available() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(H(handle_), &errors, &stat)) return 0;
    return static_cast<int>(stat.cbInQue);
}

bool TComDevice::PurgeInput() {
    if (!PurgeComm(H(handle_), PURGE_RXABORT | PURGE_RXCLEAR)) {
        KeepLastError();
        return false;
    }
    return true;
}
