#include "serve/ServeScratch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

TScratchFolder::~TScratchFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

bool TScratchFolder::Make(std::string& error) {
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    std::string pattern = base + "/vornik-serve-XXXXXX";
    if (!mkdtemp(pattern.data())) {  // mode 0700
        error = "cannot make a scratch folder in " + base + ": " + std::strerror(errno);
        return false;
    }
    path_ = pattern;
    return true;
}

TScratchFile::~TScratchFile() {
    if (!path_.empty()) unlink(path_.c_str());
}

bool TScratchFile::Create(const std::string& folder, const std::string& extension, const std::string& bytes) {
    static std::atomic<long long> counter{0};
    const std::string path = folder + "/upload-" + std::to_string(++counter) + extension;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    path_ = path;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return close(fd) == 0 && done == bytes.size();
}
