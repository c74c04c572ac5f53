#include "app/Platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Fd(std::intptr_t handle) { return static_cast<int>(handle); }

TFileFault FaultOf(int err) {
    switch (err) {
        case ENOENT: return TFileFault::NotFound;
        case EEXIST: return TFileFault::Exists;
        case EACCES:
        case EROFS:
        case EPERM: return TFileFault::Denied;
        default: return TFileFault::Other;
    }
}

void SetStatus(TFileStatus& status, int err) {
    status.Fault = FaultOf(err);
    status.Text = std::strerror(err);
}

std::atomic<bool> g_stopFromInside{false};

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

const char* const kPathSeparators = "/";
bool IsPathSeparator(char c) { return c == '/'; }

TSysFile::~TSysFile() {
    if (IsOpen()) ::close(Fd(handle_));
}

bool TSysFile::Fail() {
    SetStatus(status_, errno);
    return false;
}

bool TSysFile::Open(const std::string& path, TMode mode) {
    if (IsOpen()) Close();
    status_ = {};
    int flags = O_CLOEXEC;
    switch (mode) {
        case TMode::Read: flags |= O_RDONLY; break;
        case TMode::ReadNoWait: flags |= O_RDONLY | O_NONBLOCK; break;
        case TMode::ReadWrite: flags |= O_RDWR; break;
        case TMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
        case TMode::CreatePrivate: flags |= O_WRONLY | O_CREAT | O_EXCL; break;
        case TMode::CreateEmpty: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        case TMode::Append: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
    }
    const int fd = ::open(path.c_str(), flags, mode == TMode::CreatePrivate ? 0600 : 0666);
    if (fd < 0) return Fail();
    handle_ = fd;
    return true;
}

TSysFile::TSecretCheck TSysFile::CheckSecret() const {
    struct stat st {};
    if (::fstat(Fd(handle_), &st) != 0 || !S_ISREG(st.st_mode)) return TSecretCheck::NotPlain;
    if ((st.st_mode & 077) != 0 || st.st_uid != ::geteuid()) return TSecretCheck::Shared;
    return TSecretCheck::Ok;
}

bool TSysFile::CreateBeside(const std::string& target, std::string& path) {
    if (IsOpen()) Close();
    status_ = {};
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    // A replaced file keeps its mode; a new one gets 0666 less the process's
    // mask, applied by the system as the file is made (reading the mask with
    // umask would change it for every thread for a moment).
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = target + "." + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
        if (fd >= 0) {
            handle_ = fd;
            if (exists) ::fchmod(fd, st.st_mode & 07777);
            return true;
        }
        if (errno != EEXIST) break;
    }
    return Fail();
}

bool TSysFile::ReadAt(std::uint64_t offset, char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(Fd(handle_), data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail();
        if (n == 0) {
            status_ = {TFileFault::Ended, "the file ended unexpectedly"};
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool TSysFile::Read(char* data, std::size_t size, std::size_t& got) {
    for (;;) {
        const ssize_t n = ::read(Fd(handle_), data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail();
        got = static_cast<std::size_t>(n);
        return true;
    }
}

bool TSysFile::WriteAt(std::uint64_t offset, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(Fd(handle_), data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return Fail();
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool TSysFile::Write(const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(Fd(handle_), data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            return Fail();
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool TSysFile::Truncate(std::uint64_t size) {
    return ::ftruncate(Fd(handle_), static_cast<off_t>(size)) == 0 || Fail();
}

bool TSysFile::Size(std::uint64_t& size) {
    struct stat st {};
    if (::fstat(Fd(handle_), &st) != 0) return Fail();
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool TSysFile::Sync() {
    // EINVAL: a file system without the call (nothing to flush there).
    return ::fsync(Fd(handle_)) == 0 || errno == EINVAL || Fail();
}

bool TSysFile::Close() {
    if (!IsOpen()) return true;
    const int fd = Fd(handle_);
    handle_ = kClosed;
    return ::close(fd) == 0 || Fail();
}

bool SysReplaceFile(const std::string& source, const std::string& target, TFileStatus& status) {
    if (::rename(source.c_str(), target.c_str()) == 0) return true;
    SetStatus(status, errno);
    return false;
}

bool SysRemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

TPathKind SysPathKind(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return TPathKind::None;
    if (S_ISREG(st.st_mode)) return TPathKind::File;
    if (S_ISDIR(st.st_mode)) return TPathKind::Dir;
    return TPathKind::Other;
}

bool SysCanWrite(const std::string& path) { return ::access(path.c_str(), W_OK) == 0; }

bool SysMakeDir(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 || SysPathKind(path) == TPathKind::Dir;
}

bool SysRemoveDir(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

bool SysMakePrivateTempDir(const std::string& prefix, std::string& path, std::string& error) {
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = tmp && *tmp ? tmp : "/tmp";
    std::string pattern = base + "/" + prefix + "XXXXXX";
    if (!::mkdtemp(pattern.data())) {  // mode 0700
        error = "cannot make a folder in " + base + ": " + std::strerror(errno);
        return false;
    }
    path = pattern;
    return true;
}

std::string SysCurrentDir() {
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf)) return ".";
    return buf;
}

std::vector<std::string> SysListDir(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    ::closedir(d);
    return names;
}

std::string SysProgramPath() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::tm SysLocalTime(std::time_t when) {
    std::tm tm{};
    localtime_r(&when, &tm);
    return tm;
}

bool SysRandomBytes(void* data, std::size_t size, std::string& error) {
    auto* bytes = static_cast<unsigned char*>(data);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = getrandom(bytes + got, size - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = std::strerror(n < 0 ? errno : EIO);
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

std::string SysLastErrorText() { return std::strerror(errno); }

std::vector<std::string> SysArguments(int argc, char** argv) { return {argv + (argc > 0 ? 1 : 0), argv + argc}; }

void SysUtf8Console() {}

// SIGINT and SIGTERM blocked in every thread (the mask is inherited), so that
// the one waiting thread takes them with sigwait.
void SysCatchStopRequests() {
    const sigset_t set = StopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool SysWaitForStop() {
    const sigset_t set = StopSignals();
    int signal = 0;
    sigwait(&set, &signal);
    return !g_stopFromInside.exchange(false);
}

bool SysWaitForStopFor(int ms) {
    const sigset_t set = StopSignals();
    const timespec wait{ms / 1000, (ms % 1000) * 1000L * 1000L};
    return sigtimedwait(&set, nullptr, &wait) > 0 && !g_stopFromInside.exchange(false);
}

void SysRequestStop() {
    g_stopFromInside = true;
    ::kill(::getpid(), SIGTERM);
}
