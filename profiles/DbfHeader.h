// The header and field descriptors of a dBase table file: building them for a
// new table and checking them when a file is opened.
#pragma once
#include "app/TextCodec.h"
#include "profiles/DbfField.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr char kDbfEndOfFile = 0x1A;
constexpr char kDbfEndOfFields = 0x0D;
constexpr std::uint8_t kDbfLanguage1251 = 0xC9;

// What a file's header says, after checking.
struct TDbfLayout {
    std::uint8_t Version = 0;
    std::uint8_t Language = 0;
    int HeaderSize = 0;
    int RecordSize = 0;
    std::uint32_t HeaderCount = 0;  // as written; the file size decides
    std::vector<TDbfFieldDef> Fields;
};

// The bytes of an empty table with these fields (header with today's local
// date, descriptors, 0x0D, 0x1A). False with error when the list cannot be a
// table (bad names, kinds or widths, too many fields).
bool DbfBuildEmptyTable(const std::vector<TDbfFieldDef>& fields, std::string& bytes, std::string& error);

// Today's local date as the three header bytes (year - 1900, month, day).
void DbfPutToday(char* date3);

// Reads the structure from the first bytes of a file (at least the first 32,
// and the whole header once the header size is known). The error text does
// not name the file; the caller adds it.
bool DbfCheckVersion(std::uint8_t version, std::string& error);
bool DbfParseHeader(const std::string& header, TDbfLayout& layout, std::string& error);

// Code page of a language driver byte: 866 for the Russian DOS drivers,
// otherwise the program's 1251 (the byte 0 of files that name none included).
TCodePage DbfCodePageOfLanguage(std::uint8_t language);

std::uint32_t DbfGetU32(const char* p);
void DbfPutU32(char* p, std::uint32_t v);
