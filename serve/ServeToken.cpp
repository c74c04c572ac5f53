#include "serve/ServeToken.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace {

bool IsToken(const std::string& text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool RandomHex(std::string& hex) {
    unsigned char bytes[32];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    static const char digits[] = "0123456789abcdef";
    hex.clear();
    for (unsigned char b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return true;
}

}  // namespace

bool LoadOrMakeToken(const std::string& path, std::string& token, bool& made, std::string& error) {
    made = false;
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        if (!RandomHex(token)) {
            error = std::string("no random bytes: ") + std::strerror(errno);
            return false;
        }
        // O_EXCL: two services started at once do not both write it.
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            const std::string line = token + "\n";
            const bool ok = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
            close(fd);
            if (!ok) {
                unlink(path.c_str());
                error = "cannot write " + path;
                return false;
            }
            made = true;
            return true;
        }
        if (errno != EEXIST) {
            error = "cannot make " + path + ": " + std::strerror(errno);
            return false;
        }
        fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    // Only a plain file of our own that nobody else may read holds the token.
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        error = path + " is not a plain file; give a token file with --token-file";
        return false;
    }
    if ((st.st_mode & 077) != 0 || st.st_uid != geteuid()) {
        close(fd);
        error = path + " may be read or changed by other users: make it yours and private (chmod 600 " + path +
                ") or remove it to have a new one made";
        return false;
    }
    char buf[128];
    const ssize_t n = read(fd, buf, sizeof buf);
    close(fd);
    std::string text(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    if (!IsToken(text)) {
        error = path + " holds no token (64 hexadecimal digits); remove it to have a new one made";
        return false;
    }
    token = text;
    return true;
}

bool BearerMatches(const std::string& header, const std::string& token) {
    // The scheme's name is matched in any letter case, as HTTP has it.
    const std::string prefix = "bearer ";
    if (token.empty() || header.size() != prefix.size() + token.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(header[i])) != prefix[i]) return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < token.size(); ++i)
        diff |= static_cast<unsigned char>(header[prefix.size() + i] ^ token[i]);
    return diff == 0;
}
