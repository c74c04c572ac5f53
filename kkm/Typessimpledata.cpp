#include "kkm/Typessimpledata.h"

#include "app/TextCodec.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, std::uint8_t b) {
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 0x0F];
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBCDByte(std::uint8_t b) { return (b >> 4) <= 9 && (b & 0x0F) <= 9; }

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool IsCalendarDate(int day, int month, int year) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    const int last = kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
    return day <= last;
}

bool IsClockTime(int hours, int minutes) {
    return (hours >= 0 && hours <= 23 && minutes >= 0 && minutes <= 59) || (hours == 24 && minutes == 0);
}

// Two-digit pairs of a fixed text such as "08.12.26" at the given positions.
bool ParsePairs(const std::string& text, const int* starts, int count, std::uint8_t* out) {
    for (int i = 0; i < count; ++i) {
        if (!StrToBCDByte(std::string_view(text).substr(static_cast<std::size_t>(starts[i]), 2), out[i])) return false;
    }
    return true;
}

}  // namespace

// ---- base -----------------------------------------------------------------

bool TBaseTypeKKM::Assign(const std::uint8_t* src) {
    if (src == nullptr || Data == nullptr || Size <= 0) return false;
    std::memmove(Data, src, static_cast<std::size_t>(Size));
    return true;
}

bool TBaseTypeKKM::FromHexStr(const std::string& text) {
    if (text.empty() || Data == nullptr) return false;
    std::string digits;
    digits.reserve(text.size());
    for (char c : text)
        if (HexDigitValue(c) >= 0) digits += c;
    const std::size_t bytesNeeded = (digits.size() + 1) / 2;
    if (Size < 0 || bytesNeeded > static_cast<std::size_t>(Size)) return false;
    std::memset(Data, 0, static_cast<std::size_t>(Size));
    if (digits.size() % 2 != 0) digits.insert(digits.begin(), '0');
    for (std::size_t i = 0; i < bytesNeeded; ++i)
        Data[i] = static_cast<std::uint8_t>(HexDigitValue(digits[2 * i]) * 16 + HexDigitValue(digits[2 * i + 1]));
    return true;
}

void TBaseTypeKKM::Clear() {
    if (Data != nullptr && Size > 0) std::memset(Data, 0xFF, static_cast<std::size_t>(Size));
}

// ---- date -----------------------------------------------------------------

std::string TDateKKM::ToStr() const {
    if (Size != 3 || Data == nullptr) return "er";
    for (int i = 0; i < 3; ++i)
        if (Data[i] == 0x00 || Data[i] == 0xFF) return {};
    std::string s;
    s.reserve(8);
    AppendHexByte(s, Data[0]);
    s += '.';
    AppendHexByte(s, Data[1]);
    s += '.';
    AppendHexByte(s, Data[2]);
    return s;
}

bool TDateKKM::FromStr(const std::string& text) {
    if (Size != 3 || Data == nullptr) return false;
    if (text.size() != 8 || text[2] != '.' || text[5] != '.') return false;
    static constexpr int kStarts[3] = {0, 3, 6};
    std::uint8_t b[3];
    if (!ParsePairs(text, kStarts, 3, b)) return false;
    if (!IsCalendarDate(BCDToInt(b[0]), BCDToInt(b[1]), 2000 + BCDToInt(b[2]))) return false;
    std::memcpy(Data, b, 3);
    return true;
}

bool TDateKKM::IsValid() const {
    if (Size != 3 || Data == nullptr) return false;
    for (int i = 0; i < 3; ++i)
        if (Data[i] == 0x00 || Data[i] == 0xFF || !IsBCDByte(Data[i])) return false;
    return IsCalendarDate(BCDToInt(Data[0]), BCDToInt(Data[1]), 2000 + BCDToInt(Data[2]));
}

// ---- time -----------------------------------------------------------------

std::string TTimeKKM::ToStr() const {
    if (Size != 2 || Data == nullptr) return "er";
    if (Data[0] == 0xFF || Data[1] == 0xFF) return {};
    std::string s;
    s.reserve(5);
    AppendHexByte(s, Data[0]);
    s += ':';
    AppendHexByte(s, Data[1]);
    return s;
}

bool TTimeKKM::FromStr(const std::string& text) {
    if (Size != 2 || Data == nullptr) return false;
    if (text.size() != 5 || text[2] != ':') return false;
    static constexpr int kStarts[2] = {0, 3};
    std::uint8_t b[2];
    if (!ParsePairs(text, kStarts, 2, b)) return false;
    if (!IsClockTime(BCDToInt(b[0]), BCDToInt(b[1]))) return false;
    std::memcpy(Data, b, 2);
    return true;
}

bool TTimeKKM::IsValid() const {
    if (Size != 2 || Data == nullptr) return false;
    for (int i = 0; i < 2; ++i)
        if (Data[i] == 0x00 || Data[i] == 0xFF || !IsBCDByte(Data[i])) return false;
    return IsClockTime(BCDToInt(Data[0]), BCDToInt(Data[1]));
}

// ---- number ---------------------------------------------------------------

std::string TNumberKKM::ToStr() const {
    if (Size <= 0 || Data == nullptr) return "er";
    std::string s;
    s.reserve(static_cast<std::size_t>(Size) * 2);
    for (std::int32_t i = Size - 1; i >= 0; --i) {
        const std::uint8_t b = Data[i];
        if (s.empty() && b == 0) continue;  // leading zero pairs
        if (s.empty() && (b >> 4) == 0) s += kHexDigits[b & 0x0F];
        else AppendHexByte(s, b);
    }
    if (s.empty()) s.push_back('0');
    return s;
}

bool TNumberKKM::FromStr(const std::string& text) {
    if (Size <= 0 || Data == nullptr) return false;
    if (text.size() > 2 * static_cast<std::size_t>(Size) || !IsDigits(text)) return false;
    std::memset(Data, 0, static_cast<std::size_t>(Size));
    const std::string digits = text.size() % 2 != 0 ? "0" + text : text;
    const std::size_t pairs = digits.size() / 2;
    for (std::size_t k = 0; k < pairs; ++k) {
        const std::size_t at = digits.size() - 2 * (k + 1);
        Data[k] = static_cast<std::uint8_t>((digits[at] - '0') * 16 + (digits[at + 1] - '0'));
    }
    return true;
}

bool TNumberKKM::IsValid() const {
    if (Data == nullptr) return false;
    for (std::int32_t i = 0; i < Size; ++i)
        if (!IsBCDByte(Data[i])) return false;
    return true;
}

// ---- hex ------------------------------------------------------------------

std::string THEXKKM::ToStr() const { return BytesToHexStr(*this, " "); }

bool THEXKKM::FromStr(const std::string& text) { return FromHexStr(text); }

bool THEXKKM::IsValid() const { return Data != nullptr; }

// ---- binary ---------------------------------------------------------------

std::string TBinKKM::ToStr() const {
    if (Size > 8) return BytesToHexStr(*this, " ");
    if (Data == nullptr) return {};
    std::uint64_t v = 0;
    for (std::int32_t i = Size - 1; i >= 0; --i) v = (v << 8) | Data[i];
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<std::int64_t>(v));
    return std::string(buf, r.ptr);
}

bool TBinKKM::FromStr(const std::string& text) {
    if (Size > 8) return FromHexStr(text);
    if (Data == nullptr) return false;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    std::int64_t v = 0;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || first == last) return false;
    auto u = static_cast<std::uint64_t>(v);
    for (std::int32_t i = 0; i < Size; ++i, u >>= 8) Data[i] = static_cast<std::uint8_t>(u & 0xFF);
    return true;
}

bool TBinKKM::IsValid() const { return Data != nullptr; }

// ---- helpers --------------------------------------------------------------

std::string BytesToStr(const std::uint8_t* bytes, int max) {
    if (bytes == nullptr || max <= 0) return {};
    const void* nul = std::memchr(bytes, 0, static_cast<std::size_t>(max));
    const std::size_t n = nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - bytes)
                              : static_cast<std::size_t>(max);
    return Cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes), n));
}

void StrToBytes(std::uint8_t* dest, const std::string& utf8, int max) {
    if (dest == nullptr || max <= 0) return;
    const std::string cp = Utf8ToCp1251(utf8);
    const std::size_t n = std::min(cp.size(), static_cast<std::size_t>(max));
    std::size_t out = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<std::uint8_t>(cp[i]);
        if (IsPrintableChar(c)) dest[out++] = c;
    }
}

bool IsPrintableChar(std::uint8_t c) { return (c >= 0x20 && c <= 0x7F) || c == 0xA8 || c == 0xB8 || c >= 0xC0; }

bool IsDigits(std::string_view text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

bool StrToBCDByte(std::string_view text, std::uint8_t& value) {
    if (text.size() != 2 || !IsDigits(text)) return false;
    value = static_cast<std::uint8_t>((text[0] - '0') * 16 + (text[1] - '0'));
    return true;
}

int BCDToInt(std::uint8_t b) { return 10 * (b >> 4) + (b & 0x0F); }

std::string TrimLeftChar(std::string_view text, char c) {
    const auto p = text.find_first_not_of(c);
    return p == std::string_view::npos ? std::string() : std::string(text.substr(p));
}

std::string BytesToHexStr(const TBaseTypeKKM& view, std::string_view separator) {
    if (view.Data == nullptr || view.Size <= 0) return {};
    std::string s;
    s.reserve(static_cast<std::size_t>(view.Size) * (2 + separator.size()));
    for (std::int32_t i = 0; i < view.Size; ++i) {
        if (i > 0) s += separator;
        AppendHexByte(s, view.Data[i]);
    }
    const auto e = s.find_last_not_of(" \t\r\n");
    s.erase(e == std::string::npos ? 0 : e + 1);
    return s;
}

std::int32_t BinToInt(const TBaseTypeKKM& view) {
    if (view.Size > 4) return -1;
    if (view.Data == nullptr || view.Size <= 0) return 0;
    std::uint32_t v = 0;
    for (std::int32_t i = view.Size - 1; i >= 0; --i) v = (v << 8) | view.Data[i];
    return static_cast<std::int32_t>(v);
}
