#include "app/Platform.h"

#include "app/WinText.h"

#include <windows.h>
#include <bcrypt.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>

namespace {

HANDLE H(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

TFileFault FaultOf(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return TFileFault::NotFound;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return TFileFault::Exists;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_SHARING_VIOLATION: return TFileFault::Denied;
        default: return TFileFault::Other;
    }
}

void SetStatus(TFileStatus& status, DWORD code) {
    status.Fault = FaultOf(code);
    status.Text = WinErrorText(code);
}

bool Seek(HANDLE h, std::uint64_t offset, OVERLAPPED& at) {
    at = {};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return h != INVALID_HANDLE_VALUE;
}

HANDLE g_stopEvent = nullptr;
std::atomic<bool> g_stopFromInside{false};

BOOL WINAPI OnConsoleControl(DWORD kind) {
    switch (kind) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT:
            if (g_stopEvent) SetEvent(g_stopEvent);
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

const char* const kPathSeparators = "\\/";
bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

TSysFile::~TSysFile() {
    if (IsOpen()) CloseHandle(H(handle_));
}

bool TSysFile::Fail() {
    SetStatus(status_, GetLastError());
    return false;
}

bool TSysFile::Open(const std::string& path, TMode mode) {
    if (IsOpen()) Close();
    status_ = {};
    DWORD access = GENERIC_READ | GENERIC_WRITE, disposition = OPEN_EXISTING;
    switch (mode) {
        case TMode::Read:
        case TMode::ReadNoWait: access = GENERIC_READ; break;
        case TMode::ReadWrite: break;
        case TMode::CreateNew: disposition = CREATE_NEW; break;
        // The user's own folder keeps a secret from other users.
        case TMode::CreatePrivate: disposition = CREATE_NEW; break;
        case TMode::CreateEmpty: disposition = CREATE_ALWAYS; break;
        case TMode::Append: access = FILE_APPEND_DATA; disposition = OPEN_ALWAYS; break;
    }
    // Shared like a POSIX file: others may read, write, rename and delete it.
    const HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), access,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail();
    handle_ = reinterpret_cast<std::intptr_t>(h);
    return true;
}

// The user's own folder (%LOCALAPPDATA%) keeps other users out; what is
// left to check is that the name is a file on a disk, not a pipe or device.
TSysFile::TSecretCheck TSysFile::CheckSecret() const {
    return GetFileType(reinterpret_cast<HANDLE>(handle_)) == FILE_TYPE_DISK ? TSecretCheck::Ok
                                                                            : TSecretCheck::NotPlain;
}

bool TSysFile::CreateBeside(const std::string& target, std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char bytes[4];
        std::string error;
        if (!SysRandomBytes(bytes, sizeof bytes, error)) {
            status_ = {TFileFault::Other, error};
            return false;
        }
        static const char digits[] = "0123456789abcdef";
        path = target + ".";
        for (unsigned char b : bytes) path += {digits[b >> 4], digits[b & 15]};
        if (Open(path, TMode::CreateNew)) return true;
        if (status_.Fault != TFileFault::Exists) return false;
    }
    return false;
}

bool TSysFile::ReadAt(std::uint64_t offset, char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED at;
        Seek(H(handle_), offset + done, at);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(H(handle_), data + done, chunk, &n, &at)) {
            if (GetLastError() != ERROR_HANDLE_EOF) return Fail();
            n = 0;
        }
        if (n == 0) {
            status_ = {TFileFault::Ended, "the file ended unexpectedly"};
            return false;
        }
        done += n;
    }
    return true;
}

bool TSysFile::Read(char* data, std::size_t size, std::size_t& got) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!ReadFile(H(handle_), data, chunk, &n, nullptr) && GetLastError() != ERROR_BROKEN_PIPE) return Fail();
    got = n;
    return true;
}

bool TSysFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        OVERLAPPED at;
        Seek(H(handle_), offset + done, at);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(H(handle_), data + done, chunk, &n, &at)) return Fail();
        if (n == 0) {
            status_ = {TFileFault::Other, WinErrorText(ERROR_DISK_FULL)};
            return false;
        }
        done += n;
    }
    return true;
}

bool TSysFile::Write(const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD n = 0;
        if (!WriteFile(H(handle_), data + done, chunk, &n, nullptr)) return Fail();
        if (n == 0) {
            status_ = {TFileFault::Other, WinErrorText(ERROR_DISK_FULL)};
            return false;
        }
        done += n;
    }
    return true;
}

bool TSysFile::Truncate(std::uint64_t size) {
    FILE_END_OF_FILE_INFO info{};
    info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return SetFileInformationByHandle(H(handle_), FileEndOfFileInfo, &info, sizeof info) || Fail();
}

bool TSysFile::Size(std::uint64_t& size) {
    LARGE_INTEGER n{};
    if (!GetFileSizeEx(H(handle_), &n)) return Fail();
    size = static_cast<std::uint64_t>(n.QuadPart);
    return true;
}

bool TSysFile::Sync() { return FlushFileBuffers(H(handle_)) || Fail(); }

bool TSysFile::Close() {
    if (!IsOpen()) return true;
    const HANDLE h = H(handle_);
    handle_ = kClosed;
    return CloseHandle(h) || Fail();
}

bool SysReplaceFile(const std::string& source, const std::string& target, TFileStatus& status) {
    if (MoveFileExW(Utf8ToWide(source).c_str(), Utf8ToWide(target).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    SetStatus(status, GetLastError());
    return false;
}

bool SysRemoveFile(const std::string& path) { return DeleteFileW(Utf8ToWide(path).c_str()) != 0; }

TPathKind SysPathKind(const std::string& path) {
    const DWORD a = GetFileAttributesW(Utf8ToWide(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return TPathKind::None;
    if (a & FILE_ATTRIBUTE_DIRECTORY) return TPathKind::Dir;
    if (a & FILE_ATTRIBUTE_DEVICE) return TPathKind::Other;
    return TPathKind::File;
}

bool SysCanWrite(const std::string& path) {
    const DWORD a = GetFileAttributesW(Utf8ToWide(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_READONLY);
}

bool SysMakeDir(const std::string& path) {
    return CreateDirectoryW(Utf8ToWide(path).c_str(), nullptr) || SysPathKind(path) == TPathKind::Dir;
}

bool SysRemoveDir(const std::string& path) { return RemoveDirectoryW(Utf8ToWide(path).c_str()) != 0; }

// Under %TEMP%, which is in the user's own profile: the folder takes its
// access from there, like the secrets of CreatePrivate. A random name that
// CreateDirectoryW refuses when it is taken, so the folder is always new.
bool SysMakePrivateTempDir(const std::string& prefix, std::string& path, std::string& error) {
    wchar_t buf[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH) {
        error = "cannot find the folder for temporary files: " + WinErrorText(GetLastError());
        return false;
    }
    std::string base = WideToUtf8(std::wstring(buf, n));
    while (base.size() > 3 && IsPathSeparator(base.back())) base.pop_back();
    for (int attempt = 0; attempt < 100; ++attempt) {
        unsigned char bytes[6];
        if (!SysRandomBytes(bytes, sizeof bytes, error)) return false;
        static const char digits[] = "0123456789abcdef";
        path = base + "\\" + prefix;
        for (unsigned char b : bytes) path += {digits[b >> 4], digits[b & 15]};
        if (CreateDirectoryW(Utf8ToWide(path).c_str(), nullptr)) return true;
        const DWORD code = GetLastError();
        if (code != ERROR_ALREADY_EXISTS && code != ERROR_FILE_EXISTS) {
            error = "cannot make a folder in " + base + ": " + WinErrorText(code);
            return false;
        }
    }
    error = "cannot make a folder of a new name in " + base;
    return false;
}

std::string SysCurrentDir() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(buf.size()), buf.data());
        if (n == 0) return ".";
        if (n < buf.size()) {
            buf.resize(n);
            return WideToUtf8(buf);
        }
        buf.resize(n);
    }
}

std::vector<std::string> SysListDir(const std::string& dir) {
    std::vector<std::string> names;
    const std::string pattern = (dir.empty() ? std::string(".") : dir) + "\\*";
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileW(Utf8ToWide(pattern).c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string n = WideToUtf8(found.cFileName);
        if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

std::string SysProgramPath() {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            return WideToUtf8(buf);
        }
        buf.resize(buf.size() * 2);
    }
}

std::tm SysLocalTime(std::time_t when) {
    std::tm tm{};
    localtime_s(&tm, &when);
    return tm;
}

bool SysRandomBytes(void* data, std::size_t size, std::string& error) {
    const NTSTATUS status = BCryptGenRandom(nullptr, static_cast<PUCHAR>(data), static_cast<ULONG>(size),
                                            BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status >= 0) return true;
    error = "the system's random source failed";
    return false;
}

std::string SysLastErrorText() { return WinErrorText(GetLastError()); }

std::vector<std::string> SysArguments(int, char**) {
    std::vector<std::string> args;
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!wide) return args;
    for (int i = 1; i < n; ++i) args.push_back(WideToUtf8(wide[i]));
    LocalFree(wide);
    return args;
}

void SysUtf8Console() {
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
}

void SysCatchStopRequests() {
    if (!g_stopEvent) g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool SysWaitForStop() {
    WaitForSingleObject(g_stopEvent, INFINITE);
    ResetEvent(g_stopEvent);
    return !g_stopFromInside.exchange(false);
}

bool SysWaitForStopFor(int ms) {
    if (WaitForSingleObject(g_stopEvent, static_cast<DWORD>(ms)) != WAIT_OBJECT_0) return false;
    ResetEvent(g_stopEvent);
    return !g_stopFromInside.exchange(false);
}

void SysRequestStop() {
    g_stopFromInside = true;
    SetEvent(g_stopEvent);
}
