// Fields of dBase tables: their declarations and how a value is laid out in a
// record. Values are UTF-8 in the program and 8-bit code page text on disk.
#pragma once
#include "app/TextCodec.h"

#include <optional>
#include <string>
#include <string_view>

// One field of a table: kind 'C' (text), 'N' (number), 'L' (boolean). Files
// written by other software may also hold 'F' and 'D' fields (read and written
// as numbers and text) and further kinds that are only carried along.
struct TDbfFieldDef {
    std::string Name;  // at most 10 characters; stored in upper case
    char Kind = 'C';
    int Width = 1;
    int Decimals = 0;

    // The three declared types of the program's tables.
    static TDbfFieldDef Text(std::string name, int width) { return {std::move(name), 'C', width, 0}; }
    static TDbfFieldDef Integer(std::string name) { return {std::move(name), 'N', 9, 0}; }
    static TDbfFieldDef Boolean(std::string name) { return {std::move(name), 'L', 1, 0}; }
};

// Field kinds whose records hold readable text (C, N, F, L, D).
bool DbfKindReadable(char kind);
// Kinds known from dBase and FoxPro files (memo, binary, date-time ...);
// a descriptor with any other kind byte marks a damaged file.
bool DbfKindKnown(char kind);

// Field bytes for a text: converted to the code page, cut to the width in
// code page characters, padded with spaces.
std::string DbfEncodeText(std::string_view utf8, int width, TCodePage cp);
// Field bytes for an integer: right-aligned decimal digits with "-" directly
// before them; when the number is wider than the field only the lowest digit
// positions remain (a negative number keeps its sign). With decimals the
// integer gets a point and that many zeros.
std::string DbfEncodeInteger(long long value, int width, int decimals = 0);

// Decimal integer with an optional sign and blanks around it.
bool DbfParseInteger(std::string_view text, long long& value);

// The value of number bytes: blanks ignored; nothing left gives no value; text
// that is not a number gives 0; a fraction is dropped.
std::optional<long long> DbfDecodeInteger(std::string_view bytes);
// The value of a boolean byte: "T"/"t"/"Y"/"y" true, a blank or the dBase
// "not set" mark "?" no value, anything else false.
std::optional<bool> DbfDecodeBool(char byte);

// Field bytes with the blanks that do not belong to the value removed:
// trailing spaces and NULs of text, blanks at both ends of anything else.
std::string_view DbfTrimValue(std::string_view bytes, char kind);
