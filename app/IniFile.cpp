#include "app/IniFile.h"

#include "app/TextCodec.h"
#include "app/U_filedirwork.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace {

std::string Trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Names compare without regard to ASCII or Cyrillic letter case.
std::string Fold(const std::string& utf8) {
    std::string cp = Utf8ToCp1251(utf8);
    for (char& c : cp) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b + 32);
        else if (b >= 0xC0 && b <= 0xDF) b = static_cast<unsigned char>(b + 32);
        else if (b == 0xA8) b = 0xB8;
        c = static_cast<char>(b);
    }
    return cp;
}

bool IsSectionLine(const std::string& line, std::string& name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const auto close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

}  // namespace

bool TryParseInt(const std::string& text, long long& value) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    std::size_t i = 0;
    bool neg = false;
    if (t[0] == '-' || t[0] == '+') {
        neg = t[0] == '-';
        i = 1;
    }
    if (i >= t.size()) return false;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(t[i]))) return false;
        v = v * 10 + (t[i] - '0');
        if (v > 0xFFFFFFFFLL) return false;
    }
    value = neg ? -v : v;
    return true;
}

TIniFile::TIniFile(std::string path) : path_(std::move(path)) {
    std::string bytes;
    if (!ReadFileBytes(path_, bytes)) return;
    const std::string text = Cp1251ToUtf8(bytes);
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(std::move(line));
        start = end + 1;
    }
}

bool TIniFile::FindKey(const std::string& section, const std::string& key, std::size_t& index,
                       std::string& value) const {
    const std::string wantSection = Fold(section), wantKey = Fold(key);
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string name;
        if (IsSectionLine(lines_[i], name)) {
            inSection = Fold(name) == wantSection;
            continue;
        }
        if (!inSection) continue;
        const auto eq = lines_[i].find('=');
        if (eq == std::string::npos) continue;
        const std::string k = Trim(lines_[i].substr(0, eq));
        if (k.empty() || k[0] == ';') continue;
        if (Fold(k) == wantKey) {
            index = i;
            value = Trim(lines_[i].substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            return true;
        }
    }
    return false;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    std::size_t i = 0;
    std::string v;
    return FindKey(section, key, i, v) ? v : def;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
    std::size_t i = 0;
    std::string v;
    long long n = 0;
    if (!FindKey(section, key, i, v) || !TryParseInt(v, n) || n < INT32_MIN || n > INT32_MAX) return def;
    return static_cast<int>(n);
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
    std::size_t i = 0;
    std::string v;
    return FindKey(section, key, i, v);
}

bool TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    const std::string newLine = key + "=" + value;
    std::size_t idx = 0;
    std::string old;
    if (FindKey(section, key, idx, old)) {
        lines_[idx] = newLine;
        return Save();
    }
    // Insert after the last key line of the section, or add the section.
    const std::string want = Fold(section);
    std::size_t insertAt = lines_.size();
    bool found = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string name;
        if (IsSectionLine(lines_[i], name)) {
            if (found) break;
            if (Fold(name) == want) {
                found = true;
                insertAt = i + 1;
            }
            continue;
        }
        if (found && !Trim(lines_[i]).empty()) insertAt = i + 1;
    }
    if (found) {
        lines_.insert(lines_.begin() + static_cast<long>(insertAt), newLine);
    } else {
        lines_.push_back("[" + section + "]");
        lines_.push_back(newLine);
    }
    return Save();
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool TIniFile::Save() {
    std::string text;
    for (const auto& l : lines_) text += l + "\r\n";
    error_.clear();
    if (WriteFileAtomic(path_, Utf8ToCp1251(text), &error_)) return true;
    error_ = "Unable to write to " + path_ + ": " + error_;
    return false;
}
