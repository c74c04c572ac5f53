#include "settings/FieldValue.h"

#include "app/TextCodec.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

std::optional<std::int64_t> ParseInt(std::string_view s) {
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return v;
}

// The program's own numbers use '.', users of this locale type ','; both are read.
std::optional<double> ParseDouble(std::string_view s) {
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    std::string t(s);
    for (char& c : t)
        if (c == ',') c = '.';
    double v = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (t.empty() || ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::string DoubleText(double v) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    if (ec != std::errc()) return "0";
    return std::string(buf, end);
}

bool FitsInt32(std::int64_t v) {
    return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

// Largest money amount held exactly: keeps Units far from int64 overflow.
constexpr double kMaxMoney = 900000000000000.0;

}  // namespace

TCurrency TCurrency::FromDouble(double v) {
    if (!std::isfinite(v)) return TCurrency{};
    return TCurrency{static_cast<std::int64_t>(std::llround(v * Scale))};
}

std::optional<TCurrency> TCurrency::Parse(std::string_view text) {
    std::string_view s = text;
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::size_t sep = s.find_first_of(".,");
    std::string_view whole = s.substr(0, sep);
    std::string_view frac = sep == std::string_view::npos ? std::string_view{} : s.substr(sep + 1);
    if ((whole.empty() && frac.empty()) || frac.size() > 4 || whole.size() > 14) return std::nullopt;
    std::int64_t units = 0;
    for (char c : whole) {
        if (c < '0' || c > '9') return std::nullopt;
        units = units * 10 + (c - '0');
    }
    for (std::size_t i = 0; i < 4; ++i) {
        char c = i < frac.size() ? frac[i] : '0';
        if (c < '0' || c > '9') return std::nullopt;
        units = units * 10 + (c - '0');
    }
    return TCurrency{negative ? -units : units};
}

std::string TCurrency::ToString() const {
    std::uint64_t mag = Units < 0 ? 0 - static_cast<std::uint64_t>(Units) : static_cast<std::uint64_t>(Units);
    std::string out = Units < 0 ? "-" : "";
    out += std::to_string(mag / Scale);
    std::uint64_t frac = mag % Scale;
    if (frac != 0) {
        std::string digits = std::to_string(frac + Scale).substr(1);  // four digits with leading zeros
        while (digits.back() == '0') digits.pop_back();
        out += "." + digits;
    }
    return out;
}

std::int64_t TFieldValue::AsInt64() const {
    if (auto p = std::get_if<std::int64_t>(&V)) return *p;
    if (auto p = std::get_if<bool>(&V)) return *p ? 1 : 0;
    if (auto p = std::get_if<double>(&V)) {
        if (!std::isfinite(*p) || std::fabs(*p) > 9.0e18) return 0;
        return std::llround(*p);
    }
    if (auto p = std::get_if<TCurrency>(&V)) return std::llround(p->ToDouble());
    if (auto p = std::get_if<std::string>(&V)) {
        if (auto i = ParseInt(*p)) return *i;
        if (auto d = ParseDouble(*p); d && std::fabs(*d) < 9.0e18) return std::llround(*d);
    }
    return 0;
}

std::int32_t TFieldValue::AsInteger() const {
    std::int64_t v = AsInt64();
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

std::string TFieldValue::AsString() const {
    if (auto p = std::get_if<std::string>(&V)) return *p;
    if (auto p = std::get_if<std::int64_t>(&V)) return std::to_string(*p);
    if (auto p = std::get_if<TCurrency>(&V)) return p->ToString();
    if (auto p = std::get_if<double>(&V)) return DoubleText(*p);
    if (auto p = std::get_if<bool>(&V)) return *p ? "True" : "False";
    return {};
}

double TFieldValue::AsFloat() const {
    if (auto p = std::get_if<double>(&V)) return *p;
    if (auto p = std::get_if<std::int64_t>(&V)) return static_cast<double>(*p);
    if (auto p = std::get_if<TCurrency>(&V)) return p->ToDouble();
    if (auto p = std::get_if<bool>(&V)) return *p ? 1.0 : 0.0;
    if (auto p = std::get_if<std::string>(&V)) return ParseDouble(*p).value_or(0.0);
    return 0.0;
}

TCurrency TFieldValue::AsCurrency() const {
    if (auto p = std::get_if<TCurrency>(&V)) return *p;
    if (auto p = std::get_if<std::int64_t>(&V)) return TCurrency::FromInteger(*p);
    if (auto p = std::get_if<std::string>(&V)) {
        if (auto c = TCurrency::Parse(Trim(*p))) return *c;
    }
    return TCurrency::FromDouble(AsFloat());
}

bool TFieldValue::AsBoolean() const {
    if (auto p = std::get_if<bool>(&V)) return *p;
    if (auto p = std::get_if<std::string>(&V)) return *p == "True" || *p == "true" || *p == "1";
    return AsInt64() != 0;
}

std::optional<TFieldValue> TFieldValue::ConvertTo(TFieldType type, int width) const {
    if (IsNull()) return TFieldValue{};
    const std::string* text = std::get_if<std::string>(&V);
    if (text && type != TFieldType::String && Trim(*text).empty()) return TFieldValue{};
    switch (type) {
    case TFieldType::Integer: {
        std::int64_t v = 0;
        if (text) {
            auto i = ParseInt(*text);
            if (!i) return std::nullopt;
            v = *i;
        } else if (auto d = std::get_if<double>(&V)) {
            if (!std::isfinite(*d) || std::fabs(*d) > 3.0e9) return std::nullopt;
            v = std::llround(*d);
        } else {
            v = AsInt64();
        }
        if (!FitsInt32(v)) return std::nullopt;
        return TFieldValue(v);
    }
    case TFieldType::String: {
        std::string s = AsString();
        if (width > 0) s = Utf8Left(s, static_cast<std::size_t>(width));
        return TFieldValue(std::move(s));
    }
    case TFieldType::Currency: {
        if (IsBoolean()) return std::nullopt;
        if (text) {
            auto c = TCurrency::Parse(Trim(*text));
            if (!c) {
                auto d = ParseDouble(*text);  // more than 4 decimals: rounded
                if (!d || std::fabs(*d) > kMaxMoney) return std::nullopt;
                c = TCurrency::FromDouble(*d);
            }
            return TFieldValue(*c);
        }
        if (IsCurrency()) return *this;
        double d = AsFloat();
        if (!std::isfinite(d) || std::fabs(d) > kMaxMoney) return std::nullopt;
        if (auto i = std::get_if<std::int64_t>(&V)) return TFieldValue(TCurrency::FromInteger(*i));
        return TFieldValue(TCurrency::FromDouble(d));
    }
    case TFieldType::Float: {
        if (IsBoolean()) return std::nullopt;
        if (text) {
            auto d = ParseDouble(*text);
            if (!d) return std::nullopt;
            return TFieldValue(*d);
        }
        return TFieldValue(AsFloat());
    }
    case TFieldType::Boolean: {
        if (IsBoolean()) return *this;
        if (auto i = std::get_if<std::int64_t>(&V)) return TFieldValue(*i != 0);
        if (text) {
            std::string_view t = Trim(*text);
            if (t == "True" || t == "true" || t == "1") return TFieldValue(true);
            if (t == "False" || t == "false" || t == "0") return TFieldValue(false);
        }
        return std::nullopt;
    }
    }
    return std::nullopt;
}

std::string FormatFloat(double value, std::string_view pattern) {
    std::size_t dot = pattern.find('.');
    std::string_view whole = pattern.substr(0, dot);
    std::string_view frac = dot == std::string_view::npos ? std::string_view{} : pattern.substr(dot + 1);
    int minWhole = 0, required = 0, decimals = 0;
    for (char c : whole)
        if (c == '0') ++minWhole;
    for (char c : frac) {
        if (c == '0') required = ++decimals;
        else if (c == '#') ++decimals;
    }
    if (!std::isfinite(value)) return {};
    double scale = std::pow(10.0, decimals);
    double rounded = std::round(std::fabs(value) * scale);  // half away from zero
    if (rounded > 9.0e18) return DoubleText(value);
    auto units = static_cast<std::uint64_t>(rounded);
    auto pow10 = static_cast<std::uint64_t>(scale);
    std::uint64_t intPart = units / pow10;
    std::uint64_t fracPart = units % pow10;

    std::string fracText;
    if (decimals > 0) {
        fracText = std::to_string(fracPart + pow10).substr(1);
        while (static_cast<int>(fracText.size()) > required && fracText.back() == '0') fracText.pop_back();
    }
    std::string intText = intPart == 0 ? std::string() : std::to_string(intPart);
    while (static_cast<int>(intText.size()) < minWhole) intText.insert(intText.begin(), '0');

    std::string out = intText;
    if (!fracText.empty()) out += "." + fracText;
    if (units != 0 && value < 0) out.insert(out.begin(), '-');
    return out;
}
