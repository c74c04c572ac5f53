#include "profiles/ProfileTexts.h"

#include "app/Platform.h"

#include <charconv>
#include <locale>

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

}  // namespace

long long StoredKeyOf(const std::tm& local) {
    const long long days = DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                         static_cast<unsigned>(local.tm_mday)) -
                           DaysFromCivil(1899, 12, 30);
    return days * 86400 + local.tm_hour * 3600LL + local.tm_min * 60LL + local.tm_sec;
}

long long StoredKeyNow() {
    const std::time_t now = std::time(nullptr);
    const std::tm local = SysLocalTime(now);
    return StoredKeyOf(local);
}

char LocaleDecimalSeparator() {
    try {
        const char c = std::use_facet<std::numpunct<char>>(std::locale("")).decimal_point();
        return c == ',' ? ',' : '.';
    } catch (...) {
        return '.';
    }
}

std::string GeneralNumberText(double value, char separator) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string s(buf, r.ptr);  // like "%.15g": no trailing zeros
    for (char& c : s)
        if (c == '.') c = separator;
    return s;
}

std::string CurrencyText(TCurrency value, char separator) {
    std::string s = value.ToString();
    for (char& c : s)
        if (c == '.') c = separator;
    return s;
}

std::optional<double> ParseStoredNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    std::string s(text);
    if (s.front() == '+') s.erase(0, 1);
    for (char& c : s)
        if (c == ',') c = '.';
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v, std::chars_format::general);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}
