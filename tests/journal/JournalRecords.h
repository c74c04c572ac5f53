// Journal record bytes as the register sends them, for the journal tests.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

inline TBytes Cat(std::initializer_list<TBytes> parts) {
    TBytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Little-endian packed BCD of a decimal text, n bytes.
inline TBytes Bcd(const std::string& digits, int n) {
    TBytes b(static_cast<std::size_t>(n), 0);
    std::string d = digits.size() % 2 ? "0" + digits : digits;
    for (std::size_t k = 0; k < d.size() / 2 && k < b.size(); ++k) {
        const std::size_t at = d.size() - 2 * (k + 1);
        b[k] = static_cast<std::uint8_t>((d[at] - '0') * 16 + (d[at + 1] - '0'));
    }
    return b;
}

inline TBytes Header(std::uint8_t result = 0) { return {0x01, 0x0F, result}; }

// Sale, purchase, annulment or return by amount (15 bytes).
inline TBytes SumRec(std::uint8_t code, int op, const std::string& qty, const std::string& price, int tax, int section) {
    return Cat({{code, static_cast<std::uint8_t>(op)}, Bcd(qty, 5), Bcd(price, 5), Bcd(std::to_string(tax), 1),
                {static_cast<std::uint8_t>(section), 0x00}});
}

// Operation by goods code (18 bytes).
inline TBytes CodeRec(std::uint8_t code, int op, const std::string& goods, const std::string& qty,
                      const std::string& price, int tax, int section) {
    return Cat({{code, static_cast<std::uint8_t>(op)}, Bcd(goods, 3), Bcd(qty, 5), Bcd(price, 5),
                Bcd(std::to_string(tax), 1), {static_cast<std::uint8_t>(section), 0x00}});
}

// Discount or markup on an operation (12 bytes).
inline TBytes SkidkiRec(std::uint8_t code, int op, const std::string& value, const std::string& amount, int tax,
                        int section) {
    return Cat({{code, static_cast<std::uint8_t>(op)}, Bcd(value, 2), Bcd(amount, 5), Bcd(std::to_string(tax), 1),
                {static_cast<std::uint8_t>(section), 0x00}});
}

// Subtotal (10 bytes).
inline TBytes PiRec(std::uint8_t code, int op, const std::string& amount) {
    return Cat({{code, static_cast<std::uint8_t>(op)}, Bcd(amount, 7), {0x00}});
}

// Sum for a tax rate (11 bytes).
inline TBytes TaxRec(std::uint8_t code, int op, int rate, const std::string& amount) {
    return Cat({{code, static_cast<std::uint8_t>(op)}, Bcd(std::to_string(rate), 1), Bcd(amount, 7), {0x00}});
}

// Sum to pay with the receipt kind byte (kind less one) and cash (18 bytes).
inline TBytes NalichRec(int op, int kindByte, const std::string& sum, const std::string& cash) {
    return Cat({{0xC9, static_cast<std::uint8_t>(op), static_cast<std::uint8_t>(kindByte)}, Bcd(sum, 7), Bcd(cash, 7),
                {0x00}});
}

// Receipt close (14 bytes); date and time as raw bytes.
inline TBytes CloseRec(int kind, const std::string& number, TBytes date, TBytes time, std::uint8_t fiscal,
                       int oper) {
    return Cat({{0xCA, static_cast<std::uint8_t>(kind)}, Bcd(number, 4), date, time, {fiscal},
                Bcd(std::to_string(oper), 1), {0x00}});
}

// The worked receipt: two pieces of goods code 12 at 12.50, subtotal, one
// tax sum, payment with 30.00 in cash, close.
inline TBytes WorkedReceipt() {
    return Cat({CodeRec(0xA3, 1, "12", "2000", "1250", 1, 1), PiRec(0xB5, 2, "2500"), TaxRec(0xC1, 3, 1, "2500"),
                NalichRec(4, 0, "2500", "3000"), CloseRec(1, "15", {0x05, 0x03, 0x07}, {0x14, 0x22}, 0x4B, 1)});
}

inline const char* WorkedReceiptLines() {
    return "A3;1;12;2000;1250;1;1\r\n"
           "B5;2;2500\r\n"
           "C1;3;1;2500\r\n"
           "C9;4;1;2500;3000\r\n"
           "CA;1;15;05.03.07;14:22;F;1\r\n";
}
