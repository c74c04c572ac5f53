#include "app/Utilscolor.h"

#include <cstdio>

std::string colorToStrR(TColor color) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(color));
    return std::string("<c:") + buf + ">";
}

namespace {

bool IsOpener(char c) { return c == '<' || c == '{'; }

bool ParseHex8(const std::string& s, TColor& out) {
    if (s.size() != 8) return false;
    TColor v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = (v << 4) | static_cast<TColor>(d);
    }
    out = v;
    return true;
}

}  // namespace

std::vector<TConsoleRun> ParseConsoleMarkup(const std::string& line) {
    std::vector<TConsoleRun> runs;
    TConsoleRun cur;
    const auto flush = [&] {
        if (!cur.text.empty()) runs.push_back(cur);
        cur.text.clear();
    };
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (!IsOpener(c)) {
            cur.text += c;
            ++i;
            continue;
        }
        if (i + 1 >= line.size()) {  // an opener at the very end shows nothing
            ++i;
            continue;
        }
        const char code = line[i + 1];
        if (IsOpener(code)) {  // "<<x": the second opener is text, x is dropped
            cur.text += code;
            i += 3;
            continue;
        }
        if (code == 'c' && i + 2 < line.size() && line[i + 2] == ':') {
            flush();
            TColor col = C_BadColorTag;
            if (!ParseHex8(line.substr(i + 3, 8), col)) col = C_BadColorTag;
            cur.hasColor = true;
            cur.color = col;
            i += 3 + 8 + 1;  // "<c:" + digits + closing character
            continue;
        }
        bool* flag = nullptr;
        bool on = false;
        switch (code) {
            case 'B': flag = &cur.bold; on = true; break;
            case 'b': flag = &cur.bold; break;
            case 'I': flag = &cur.italic; on = true; break;
            case 'i': flag = &cur.italic; break;
            case 'U': flag = &cur.underline; on = true; break;
            case 'u': flag = &cur.underline; break;
            default: break;
        }
        if (flag) {
            flush();
            *flag = on;
            i += 3;
            continue;
        }
        // Any other character: the opener is dropped, the character is text.
        ++i;
    }
    flush();
    return runs;
}
