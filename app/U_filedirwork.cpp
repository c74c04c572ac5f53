#include "app/U_filedirwork.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {
std::string g_dataDir;
}

bool ForceDir(const std::string& path) {
    if (DirExists(path)) return true;
    return ::mkdir(path.c_str(), 0777) == 0;
}

std::string ProgramPath() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string ProgramDir() {
    const std::string p = ProgramPath();
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? CurrentDir() : p.substr(0, slash);
}

std::string CurrentDir() {
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf)) return ".";
    return buf;
}

std::string DataDir() {
    if (!g_dataDir.empty()) return g_dataDir;
    const std::string beside = ProgramDir();
    if (DirExists(JoinPath(beside, "ECR_CFG")) || DirExists(JoinPath(beside, "lang"))) return beside;
    const std::string shared = beside + "/../share/vornik-config";
    if (DirExists(shared)) return shared;
    return beside;
}

void SetDataDir(const std::string& dir) { g_dataDir = dir; }

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string JoinPathAnyCase(const std::string& dir, const std::string& name) {
    const std::string exact = JoinPath(dir, name);
    struct stat st {};
    if (::stat(exact.c_str(), &st) == 0) return exact;
    const auto same = [&name](const std::string& n) {
        if (n.size() != name.size()) return false;
        for (std::size_t i = 0; i < n.size(); ++i) {
            const auto a = static_cast<unsigned char>(n[i]), b = static_cast<unsigned char>(name[i]);
            if (a != b && !(a < 128 && b < 128 && std::tolower(a) == std::tolower(b))) return false;
        }
        return true;
    };
    std::string found;
    if (DIR* d = ::opendir(dir.empty() ? "." : dir.c_str())) {
        while (const dirent* e = ::readdir(d)) {
            const std::string n = e->d_name;
            if (same(n) && (found.empty() || n < found)) found = n;
        }
        ::closedir(d);
    }
    return found.empty() ? exact : JoinPath(dir, found);
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> ListFiles(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> names;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0 &&
            FileExists(JoinPath(dir, n)))
            names.push_back(n);
    }
    ::closedir(d);
    return names;
}

bool WriteFileAtomic(const std::string& path, const std::string& bytes, std::string* error) {
    const std::string tmp = path + ".tmp";
    const auto fail = [&](int err) {
        if (error) *error = std::strerror(err);
        ::unlink(tmp.c_str());
        return false;
    };
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (error) *error = std::strerror(errno);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int err = n < 0 ? errno : ENOSPC;
            ::close(fd);
            return fail(err);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 && errno != EINVAL) {
        const int err = errno;
        ::close(fd);
        return fail(err);
    }
    if (::close(fd) != 0) return fail(errno);
    if (::rename(tmp.c_str(), path.c_str()) != 0) return fail(errno);
    return true;
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    bytes = ss.str();
    return !in.bad();
}
