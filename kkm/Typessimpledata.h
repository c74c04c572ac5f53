// Views of the register's fixed-width binary fields. A view points at bytes
// that live elsewhere (the device image, a packet buffer, a journal record),
// turns them into display text, parses display text back into them and tells
// whether they hold a valid value. A view never owns or frees its bytes.
//
// Display texts of the views are ASCII. Register text fields are code page
// 1251; BytesToStr and StrToBytes convert between them and the program's UTF-8.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

class TBaseTypeKKM {
public:
    TBaseTypeKKM() = default;
    TBaseTypeKKM(std::uint8_t* data, std::int32_t size) : Size(size), Data(data) {}
    virtual ~TBaseTypeKKM() = default;

    std::int32_t Size = 0;        // width of the field in bytes
    std::uint8_t* Data = nullptr;  // first byte of the field, not owned

    virtual std::string ToStr() const = 0;
    // Parses the text into the field; false leaves the field as it was.
    virtual bool FromStr(const std::string& text) = 0;
    virtual bool IsValid() const = 0;
    // Copies Size bytes from src; false (nothing copied) when src or Data is
    // null or Size is not positive.
    virtual bool Assign(const std::uint8_t* src);
    // Hexadecimal digits of the text into the bytes, first pair into Data[0];
    // every character that is not a hexadecimal digit is skipped. False when
    // the text is empty or holds more digits than the field has room for; once
    // accepted, the field is cleared to zeros before the digits are written.
    virtual bool FromHexStr(const std::string& text);
    // Fills the field with 0xFF, the register's "not filled".
    virtual void Clear();
};

// Day, month, year (20YY), one packed-BCD byte each: "DD.MM.YY".
class TDateKKM : public TBaseTypeKKM {
public:
    TDateKKM() = default;
    explicit TDateKKM(std::uint8_t* data) : TBaseTypeKKM(data, 3) {}
    std::string ToStr() const override;
    bool FromStr(const std::string& text) override;
    bool IsValid() const override;
};

// Hours, minutes, one packed-BCD byte each: "HH:MM".
class TTimeKKM : public TBaseTypeKKM {
public:
    TTimeKKM() = default;
    explicit TTimeKKM(std::uint8_t* data) : TBaseTypeKKM(data, 2) {}
    std::string ToStr() const override;
    bool FromStr(const std::string& text) override;
    bool IsValid() const override;
};

// Unsigned decimal number, packed BCD, lowest digit pair in the first byte.
class TNumberKKM : public TBaseTypeKKM {
public:
    TNumberKKM() = default;
    TNumberKKM(std::uint8_t* data, std::int32_t n) : TBaseTypeKKM(data, n) {}
    std::string ToStr() const override;
    bool FromStr(const std::string& text) override;
    bool IsValid() const override;
};

// Arbitrary bytes shown as "01 AB FF".
class THEXKKM : public TBaseTypeKKM {
public:
    THEXKKM() = default;
    THEXKKM(std::uint8_t* data, std::int32_t n) : TBaseTypeKKM(data, n) {}
    std::string ToStr() const override;
    bool FromStr(const std::string& text) override;
    bool IsValid() const override;
};

// Up to 8 bytes: unsigned little-endian integer shown in decimal (as a signed
// 64-bit number). Wider fields behave as THEXKKM.
class TBinKKM : public TBaseTypeKKM {
public:
    TBinKKM() = default;
    TBinKKM(std::uint8_t* data, std::int32_t n) : TBaseTypeKKM(data, n) {}
    std::string ToStr() const override;
    bool FromStr(const std::string& text) override;
    bool IsValid() const override;
};

// The field's text up to the first 0x00 or max bytes, code page 1251 -> UTF-8;
// nothing trimmed.
std::string BytesToStr(const std::uint8_t* bytes, int max);
// Converts the UTF-8 text to code page 1251, takes its first min(length, max)
// characters, drops those IsPrintableChar refuses and writes the rest one after
// the other from dest[0]. Nothing else of dest is written.
void StrToBytes(std::uint8_t* dest, const std::string& utf8, int max);
// 0x20..0x7F, 0xA8 (Ё), 0xB8 (ё) and 0xC0..0xFF (А..я) of code page 1251.
bool IsPrintableChar(std::uint8_t c);
// Not empty and every character is '0'..'9'.
bool IsDigits(std::string_view text);
// Exactly two decimal digits: "12" gives 0x12.
bool StrToBCDByte(std::string_view text, std::uint8_t& value);
// 10 * high nibble + low nibble, nibbles unchecked.
int BCDToInt(std::uint8_t b);
// The text without its leading run of c.
std::string TrimLeftChar(std::string_view text, char c);
// Every byte of the view as two upper-case hexadecimal digits, separator
// between neighbours, trailing white space removed; empty for a null view.
std::string BytesToHexStr(const TBaseTypeKKM& view, std::string_view separator);
// The view's bytes as an unsigned little-endian integer; -1 when Size is
// above 4, 0 when Size is 0 or Data is null.
std::int32_t BinToInt(const TBaseTypeKKM& view);
