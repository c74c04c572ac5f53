#include "journal/MagazineRender.h"

#include "app/Dialog.h"
#include "journal/U_magazineoperation.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kMaxFields = 20;

constexpr std::string_view kReceiptSeparator =
    "\r\n*********************************************************************\r\n\r\n"
    "--------------------\r\n";
constexpr std::string_view kAnnulmentMark = "----- АННУЛЯЦИЯ ----\r\n";
constexpr std::string_view kCloseRule = "--------------------\r\n";
constexpr const char* kUndecodedText = "ошибка декодирования операций чека";

struct TFields {
    std::string_view f[kMaxFields];
    int count = 0;
    std::string_view operator[](int i) const { return i < count ? f[i] : std::string_view(); }
};

// Fields between ";"; text after the last ";" is a field only when not empty.
void SplitFields(std::string_view line, TFields& out) {
    std::size_t start = 0;
    while (out.count < kMaxFields) {
        const auto semi = line.find(';', start);
        if (semi == std::string_view::npos) {
            if (start < line.size()) out.f[out.count++] = line.substr(start);
            return;
        }
        out.f[out.count++] = line.substr(start, semi - start);
        start = semi + 1;
    }
}

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads the fields an operation needs as numbers; a field that is not one or
// more decimal digits marks the line as undecodable.
struct TNumbers {
    bool bad = false;

    // The field's digits divided by 10^3 or 10^2, as a double.
    double Scaled(std::string_view f, double divisor) {
        if (!AllDigits(f)) {
            bad = true;
            return 0;
        }
        if (f.size() <= 18) {
            std::int64_t n = 0;
            for (char c : f) n = n * 10 + (c - '0');
            return static_cast<double>(n) / divisor;
        }
        double v = HUGE_VAL;
        std::from_chars(f.data(), f.data() + f.size(), v);
        return v / divisor;
    }
    double Qty(std::string_view f) { return Scaled(f, 1000.0); }
    double Money(std::string_view f) { return Scaled(f, 100.0); }
    int Int(std::string_view f) {
        if (!AllDigits(f)) {
            bad = true;
            return 0;
        }
        long long n = 0;
        for (char c : f) {
            n = n * 10 + (c - '0');
            if (n > 1000000) return 1000000;  // no receipt kind is that large
        }
        return static_cast<int>(n);
    }
};

// Characters (not bytes) of a UTF-8 text, so that padding counts as the
// single-byte text of the receipt would.
std::size_t CharCount(std::string_view s) {
    std::size_t n = 0;
    for (char c : s) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

// printf "%-Ns" (left) or "%Ns".
void AppendPadded(std::string& out, std::string_view s, std::size_t width, bool left) {
    const std::size_t n = CharCount(s);
    if (!left && n < width) out.append(width - n, ' ');
    out += s;
    if (left && n < width) out.append(width - n, ' ');
}

// printf "%N.2f" with "." as decimal point whatever the locale.
void AppendFixed2(std::string& out, double v, std::size_t width) {
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    AppendPadded(out, std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)), width, false);
}

// printf "%g": six significant digits, shorter of fixed and exponential.
void AppendG(std::string& out, double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 6);
    out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

// printf "%gx%.2f" of quantity and price, padded as "%-15s".
void AppendPair(std::string& out, double qty, double price) {
    std::string pair;
    AppendG(pair, qty);
    pair += 'x';
    AppendFixed2(pair, price, 0);
    AppendPadded(out, pair, 15, true);
}

const char* DiscountWord(std::uint8_t code) {
    switch (code) {
        case 0xB1: case 0xB6: return "Скидка";
        case 0xB2: case 0xB7: return "Надбав";
        case 0xB3: case 0xB8: return "Ан.ск.";
        case 0xB4: case 0xB9: return "Ан.над";
        default: return "      ";  // the plain subtotal
    }
}

bool IsSumItem(std::uint8_t c) { return c == 0xA1 || c == 0xA2 || c == 0xA6 || c == 0xA7 || c == 0xAC; }
bool IsCodeItem(std::uint8_t c) {
    return c == 0xA3 || c == 0xA4 || c == 0xA5 || c == 0xA8 || c == 0xA9 || c == 0xAB || c == 0xAD || c == 0xAE;
}
bool IsAnnulment(std::uint8_t c) { return c == 0xA6 || c == 0xA7 || c == 0xA8 || c == 0xA9 || c == 0xAB; }

// The operation's own text; numbers.bad tells that a field was not a number.
void AppendOperation(std::string& out, std::uint8_t code, const TFields& F, TNumbers& num) {
    const std::string& name = MagOperName(code);
    if (IsSumItem(code) || IsCodeItem(code)) {
        // Sum items: F2 qty, F3 price, F4 tax group, F5 section.
        // Code items: one field more, the goods code in F2.
        const int s = IsCodeItem(code) ? 1 : 0;
        const double qty = num.Qty(F[2 + s]);
        const double price = num.Money(F[3 + s]);
        AppendPadded(out, F[5 + s], 2, true);
        out += "СК ";
        AppendFixed2(out, qty * price, 15);
        out += " //";
        AppendPadded(out, F[1], 2, false);
        out += '.';
        out += name;
        if (s == 1) {
            out += ':';
            AppendPadded(out, F[2], 4, true);
        }
        out += ' ';
        AppendPair(out, qty, price);
        out += " налог.гр.";
        out += F[4 + s];
    } else if (code >= 0xB1 && code <= 0xB4) {
        AppendPadded(out, F[5], 2, true);
        out += "СК ";
        out += DiscountWord(code);
        out += ' ';
        AppendFixed2(out, num.Money(F[3]), 8);
        out += " //";
        AppendPadded(out, F[1], 2, false);
        out += '.';
        out += name;
        out += ':';
        AppendPadded(out, F[3], 2, false);
        out += "  налог.гр.";
        out += F[4];
    } else if (code >= 0xB5 && code <= 0xB9) {
        out += "ПИ ";
        out += DiscountWord(code);
        out += ' ';
        AppendFixed2(out, num.Money(F[2]), 10);
        out += " //";
        AppendPadded(out, F[1], 2, false);
        out += '.';
        out += name;
    } else if (code >= 0xC1 && code <= 0xC5) {
        out += "Нал.ст.";
        out += F[2];
        out += ' ';
        AppendFixed2(out, num.Money(F[3]), 15);
        out += " //";
        AppendPadded(out, F[1], 2, false);
        out += '.';
        out += name;
        out += ' ';
        out += F[0];
    } else if (code == 0xC9) {
        const double sum = num.Money(F[3]);
        if (F[2] == "1") {
            out += "ИТОГ ";
            AppendFixed2(out, sum, 15);
        } else {
            out += CheckKindName(num.Int(F[2]));
            out += ' ';
            AppendFixed2(out, sum, 11);
        }
        if (F[4] != "0") {
            const double cash = num.Money(F[4]);
            out += "\r\nНАЛИЧНЫМИ ";
            AppendFixed2(out, cash, 10);
            out += "\r\nСДАЧА ";
            AppendFixed2(out, cash - sum, 14);
        }
    } else if (code == 0xCA) {
        const int kind = num.Int(F[1]);
        out += kCloseRule;
        out += F[3];
        out += ' ';
        out += F[4];
        out += " ОП:";
        AppendPadded(out, F[6], 2, false);
        out += " //";
        out += CheckKindName(kind);
        out += "\r\nЧЕК:";
        out += F[2];
        out += F[5] == "F" ? "     ФИСКАЛЬНЫЙ" : "  НЕ ФИСКАЛЬНЫЙ";
    } else if (code == 0xCB) {
        out += "Повторный чек  ОП:";
        AppendPadded(out, F[1], 2, false);
    } else if (code == 0xCC) {
        out += kCloseRule;
        out += "Аннуляция чека ОП:";
        AppendPadded(out, F[1], 2, false);
    } else {
        out += "???";
    }
}

}  // namespace

std::string CheckKindName(int kind) {
    switch (kind) {
        case 1: return "Продажа";
        case 2: return "Возврат ";
        case 3: return "Внесено ";
        case 4: return "Выплата ";
        default: return "unknown";
    }
}

bool AppendMagOperText(std::string& out, std::string_view line) {
    TFields F;
    SplitFields(line, F);
    TNumbers num;
    const std::string_view f0 = F[0];
    const int hi = f0.size() >= 2 ? HexValue(f0[0]) : -1;
    const int lo = f0.size() >= 2 ? HexValue(f0[1]) : -1;
    const std::size_t start = out.size();
    if (hi < 0 || lo < 0) {
        num.bad = true;
    } else {
        const auto code = static_cast<std::uint8_t>(hi * 16 + lo);
        const bool receiptStart = (IsSumItem(code) || IsCodeItem(code) || code == 0xC9) && F[1] == "1";
        if (receiptStart) out += kReceiptSeparator;
        if (IsAnnulment(code)) out += kAnnulmentMark;
        AppendOperation(out, code, F, num);
    }
    if (num.bad) {
        out.resize(start);
        out += line;
        out += " - ошибка!";
        Error(kUndecodedText, false, true, true);
    }
    return !num.bad;
}

void ReportUndecodedLines(int count) {
    if (count > 0) Error(std::string(kUndecodedText) + " (строк: " + std::to_string(count) + ")", true, true, true);
}

std::string MagOperToText(std::string_view line) {
    std::string out;
    AppendMagOperText(out, line);
    return out;
}

std::string MagazineSourceToText(std::string_view source) {
    std::string out;
    out.reserve(source.size() * 3);
    std::size_t start = 0;
    while (start < source.size()) {
        auto end = source.find('\n', start);
        if (end == std::string_view::npos) end = source.size();
        std::string_view line = source.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!line.empty()) {
            AppendMagOperText(out, line);
            out += "\r\n";
        }
        start = end + 1;
    }
    return out;
}
