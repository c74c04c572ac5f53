#include "profiles/DbfField.h"

#include <cstring>
#include <limits>

bool DbfKindReadable(char kind) { return std::strchr("CNFLD", kind) != nullptr && kind != '\0'; }

bool DbfKindKnown(char kind) {
    // dBase III/IV/V and FoxPro kinds: memo, general, picture, binary,
    // integer, currency, date-time, double, varchar, varbinary, blob,
    // timestamp, autoincrement and the FoxPro null-flags field.
    return kind != '\0' && (DbfKindReadable(kind) || std::strchr("MGPBIYTOVQW@+0", kind) != nullptr);
}

std::string DbfEncodeText(std::string_view utf8, int width, TCodePage cp) {
    std::string bytes = Utf8ToCp(utf8, cp);  // one byte per character
    bytes.resize(static_cast<std::size_t>(width), ' ');
    return bytes;
}

std::string DbfEncodeInteger(long long value, int width, int decimals) {
    const bool negative = value < 0;
    // Digits of the magnitude, also for the smallest long long.
    unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value) : value;
    std::string digits = std::to_string(magnitude);
    if (decimals > 0) digits += "." + std::string(static_cast<std::size_t>(decimals), '0');
    const std::size_t room = static_cast<std::size_t>(width) - (negative ? 1 : 0);
    if (digits.size() > room) digits.erase(0, digits.size() - room);
    std::string text = negative ? "-" + digits : digits;
    return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

bool DbfParseInteger(std::string_view text, long long& value) {
    std::size_t b = text.find_first_not_of(' ');
    if (b == std::string_view::npos) return false;
    const std::size_t e = text.find_last_not_of(' ');
    text = text.substr(b, e - b + 1);
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return false;
    unsigned long long v = 0;
    const unsigned long long limit = negative ? 0ULL - static_cast<unsigned long long>(std::numeric_limits<long long>::min())
                                              : static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const unsigned d = static_cast<unsigned>(c - '0');
        if (v > (limit - d) / 10) return false;
        v = v * 10 + d;
    }
    value = negative ? static_cast<long long>(0ULL - v) : static_cast<long long>(v);
    return true;
}

std::optional<long long> DbfDecodeInteger(std::string_view bytes) {
    std::string_view t = DbfTrimValue(bytes, 'N');
    if (t.empty()) return std::nullopt;
    // A number with decimals keeps its whole part.
    const std::size_t point = t.find('.');
    if (point != std::string_view::npos) {
        const std::string_view fraction = t.substr(point + 1);
        if (fraction.find_first_not_of("0123456789") != std::string_view::npos) return 0;
        t = t.substr(0, point);
        if (t.empty() || t == "-" || t == "+") return 0;
    }
    long long v = 0;
    return DbfParseInteger(t, v) ? v : 0;
}

std::optional<bool> DbfDecodeBool(char byte) {
    switch (byte) {
        case 'T': case 't': case 'Y': case 'y': return true;
        case ' ': case '?': case '\0': return std::nullopt;
        default: return false;
    }
}

std::string_view DbfTrimValue(std::string_view bytes, char kind) {
    const std::size_t e = bytes.find_last_not_of(std::string_view(" \0", 2));
    if (e == std::string_view::npos) return {};
    bytes = bytes.substr(0, e + 1);
    if (kind == 'C') return bytes;
    return bytes.substr(bytes.find_first_not_of(' '));
}
