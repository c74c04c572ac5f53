#include "serve/ServeToken.h"

#include "app/Platform.h"

#include <cctype>

namespace {

bool IsToken(const std::string& text) {
    return text.size() == 64 && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

bool RandomHex(std::string& hex, std::string& error) {
    unsigned char bytes[32];
    if (!SysRandomBytes(bytes, sizeof bytes, error)) return false;
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
    using TMode = TSysFile::TMode;
    made = false;
    TSysFile file;
    if (!file.Open(path, TMode::ReadNoWait) && file.Status().Fault == TFileFault::NotFound) {
        std::string why;
        if (!RandomHex(token, why)) {
            error = "no random bytes: " + why;
            return false;
        }
        // Only a new file: two services started at once do not both write it.
        if (file.Open(path, TMode::CreatePrivate)) {
            const std::string line = token + "\n";
            if (!file.Write(line.data(), line.size()) || !file.Close()) {
                file.Close();
                SysRemoveFile(path);
                error = "cannot write " + path;
                return false;
            }
            made = true;
            return true;
        }
        if (file.Status().Fault != TFileFault::Exists) {
            error = "cannot make " + path + ": " + file.Status().Text;
            return false;
        }
        file.Open(path, TMode::ReadNoWait);
    }
    if (!file.IsOpen()) {
        error = "cannot read " + path + ": " + file.Status().Text;
        return false;
    }
    // Only a plain file of our own that nobody else may read holds the token.
    switch (file.CheckSecret()) {
        case TSysFile::TSecretCheck::Ok: break;
        case TSysFile::TSecretCheck::NotPlain:
            error = path + " is not a plain file; give a token file with --token-file";
            return false;
        case TSysFile::TSecretCheck::Shared:
            error = path + " may be read or changed by other users: make it yours and private (chmod 600 " + path +
                    ") or remove it to have a new one made";
            return false;
    }
    char buf[128];
    std::size_t n = 0;
    if (!file.Read(buf, sizeof buf, n)) n = 0;
    file.Close();
    std::string text(buf, n);
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
