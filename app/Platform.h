// Operating-system calls of the core, implemented once per system
// (PlatformPosix.cpp, PlatformWin.cpp; the build takes the one of its system).
// Paths are UTF-8 on every system; file contents are bytes, never translated.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

// Why a file call failed, as far as callers decide on it.
enum class TFileFault { None, NotFound, Exists, Denied, Ended, Other };

struct TFileStatus {
    TFileFault Fault = TFileFault::None;
    std::string Text;  // the system's text; "the file ended unexpectedly" for Ended
};

// One open file for binary reads and writes at offsets.
class TSysFile {
public:
    enum class TMode { Read, ReadNoWait, ReadWrite, CreateNew, CreatePrivate, CreateEmpty, Append };
    TSysFile() = default;
    ~TSysFile();
    TSysFile(const TSysFile&) = delete;
    TSysFile& operator=(const TSysFile&) = delete;

    // CreateNew fails with Exists when the file is there; CreatePrivate too,
    // and makes it readable by its owner only (a secret); CreateEmpty empties
    // an existing one; Append creates it. ReadNoWait reads like Read but
    // never waits for a writer to open a pipe of that name.
    bool Open(const std::string& path, TMode mode);
    // Whether the open file may hold a secret: a plain file (no pipe, no
    // device), of this user, that no other user may read or change.
    enum class TSecretCheck { Ok, NotPlain, Shared };
    TSecretCheck CheckSecret() const;
    // A new file of a name no one else holds beside target (same folder, so
    // that SysReplaceFile can later put it in target's place); readable and
    // writable like target, or like a new file when there is none.
    bool CreateBeside(const std::string& target, std::string& path);
    bool IsOpen() const { return handle_ != kClosed; }
    // All size bytes or false (Ended when the file is shorter).
    bool ReadAt(std::uint64_t offset, char* data, std::size_t size);
    bool WriteAt(std::uint64_t offset, const char* data, std::size_t size);
    // From where the last Read ended (the start after Open); got 0 at the
    // end. Reads pipes too.
    bool Read(char* data, std::size_t size, std::size_t& got);
    // At the end of the file (files opened with Append).
    bool Write(const char* data, std::size_t size);
    bool Truncate(std::uint64_t size);
    bool Size(std::uint64_t& size);
    // Written data on the disk before this returns.
    bool Sync();
    bool Close();
    const TFileStatus& Status() const { return status_; }

private:
    static constexpr std::intptr_t kClosed = -1;
    bool Fail();
    std::intptr_t handle_ = kClosed;
    TFileStatus status_;
};

// Puts source in target's place in one step, replacing an existing target:
// a reader sees the old file or the new one, never a mix, and the rename is
// on the disk when this returns.
bool SysReplaceFile(const std::string& source, const std::string& target, TFileStatus& status);
bool SysRemoveFile(const std::string& path);

enum class TPathKind { None, File, Dir, Other };
TPathKind SysPathKind(const std::string& path);
// An existing file this program may write to.
bool SysCanWrite(const std::string& path);
// One level; true also when it existed.
bool SysMakeDir(const std::string& path);
// An empty folder.
bool SysRemoveDir(const std::string& path);
// A folder made fresh (never one already there) in the system's folder for
// temporary files, its name starting with prefix, that only this user may
// enter; false with the reason.
bool SysMakePrivateTempDir(const std::string& prefix, std::string& path, std::string& error);
std::string SysCurrentDir();
// Names of the entries of dir ("." and ".." left out), as the system lists them.
std::vector<std::string> SysListDir(const std::string& dir);
// Full path of the running executable; empty when unknown.
std::string SysProgramPath();
std::tm SysLocalTime(std::time_t when);
// Bytes of the system's cryptographic random source.
bool SysRandomBytes(void* data, std::size_t size, std::string& error);
// Text of the system's last error (errno here, GetLastError there).
std::string SysLastErrorText();

// The program's arguments after its name, as UTF-8 (Windows hands main()
// them in the ANSI code page, which loses Cyrillic on other systems' locales).
std::vector<std::string> SysArguments(int argc, char** argv);
// Console text in UTF-8 both ways (a Windows console takes its OEM code page
// otherwise); nothing to do here.
void SysUtf8Console();

// Stop requests from outside (Ctrl+C, a termination request of the system,
// the console being closed). SysCatchStopRequests before any other thread
// starts; SysWaitForStop then blocks until such a request comes (true) or
// SysRequestStop is called from inside (false).
void SysCatchStopRequests();
bool SysWaitForStop();
void SysRequestStop();
// Waits at most ms milliseconds for another stop request from outside: true
// when one came (a second Ctrl+C that is to cut running work short).
bool SysWaitForStopFor(int ms);

// Path separators: "/" here, "\" and "/" on Windows; joins use the first.
extern const char* const kPathSeparators;
bool IsPathSeparator(char c);
