// Values of the in-memory tables: a nullable value of one of the field types.
#pragma once
#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

enum class TFieldType { Integer, String, Currency, Float, Boolean };

// Money and quantities: fixed point with 4 decimals, held exactly as a count of
// ten-thousandths, so sums and comparisons never drift.
struct TCurrency {
    static constexpr std::int64_t Scale = 10000;
    std::int64_t Units = 0;  // value * 10000

    // Rounded half away from zero to 4 decimals.
    static TCurrency FromDouble(double v);
    static TCurrency FromInteger(std::int64_t v) { return TCurrency{v * Scale}; }
    // Decimal text with '.' or ',' as separator, optional sign, at most 4
    // decimals ("12,5", "-0.0001"); nothing else (no blanks, no exponent).
    static std::optional<TCurrency> Parse(std::string_view text);

    double ToDouble() const { return static_cast<double>(Units) / Scale; }
    // Shortest text with '.': "12.5", "0", "-3.0001".
    std::string ToString() const;

    friend bool operator==(TCurrency a, TCurrency b) = default;
    friend auto operator<=>(TCurrency a, TCurrency b) = default;
};

// A nullable value. Integers of every width are held as int64 (an Integer
// field accepts only what fits in int32); text is UTF-8.
class TFieldValue {
public:
    using Storage = std::variant<std::monostate, std::int64_t, std::string, TCurrency, double, bool>;

    TFieldValue() = default;
    TFieldValue(std::nullptr_t) {}
    template <std::integral T>
        requires(!std::same_as<T, bool> && !std::same_as<T, char>)
    TFieldValue(T v) : V(static_cast<std::int64_t>(v)) {}
    TFieldValue(bool v) : V(v) {}
    TFieldValue(double v) : V(v) {}
    TFieldValue(TCurrency v) : V(v) {}
    TFieldValue(const char* v) : V(std::string(v)) {}
    TFieldValue(std::string v) : V(std::move(v)) {}
    TFieldValue(std::string_view v) : V(std::string(v)) {}

    bool IsNull() const { return std::holds_alternative<std::monostate>(V); }
    bool IsInteger() const { return std::holds_alternative<std::int64_t>(V); }
    bool IsString() const { return std::holds_alternative<std::string>(V); }
    bool IsCurrency() const { return std::holds_alternative<TCurrency>(V); }
    bool IsFloat() const { return std::holds_alternative<double>(V); }
    bool IsBoolean() const { return std::holds_alternative<bool>(V); }

    // Readings never fail: null reads as 0, "", false; text that is not a
    // number reads as 0.
    std::int64_t AsInt64() const;
    std::int32_t AsInteger() const;  // saturated to int32
    std::string AsString() const;    // integers decimal, money shortest, floats up to 15 digits, "True"/"False"
    double AsFloat() const;
    TCurrency AsCurrency() const;
    bool AsBoolean() const;

    // The value converted for a field of this type (text cut to width
    // characters when width > 0); nullopt when it cannot be converted (text
    // that is not a number, an integer beyond int32). Empty text into a
    // number field gives null.
    std::optional<TFieldValue> ConvertTo(TFieldType type, int width) const;

    friend bool operator==(const TFieldValue& a, const TFieldValue& b) = default;

    Storage V;
};

// Number text through a display pattern of the kind the grids use: "#",
// "#0.00", "#0.000" ('0' = a digit always shown, '#' = a digit shown when
// needed). Rounds half away from zero. FormatFloat("#", 0) is "".
std::string FormatFloat(double value, std::string_view pattern);
