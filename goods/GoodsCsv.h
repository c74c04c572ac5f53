// The goods exchange file as CSV, for spreadsheets and accounting software:
// the ten fields of the dBase exchange file (CODE, TYPE, NAME, NG, PRICE,
// SECTION, VESOVOY, SHTRIH, ISBLOCK, COUNT) under a header line.
//
// Reading: the header names the fields in any letter case and order, other
// columns are ignored; the separator is the first ';', ',' or tab outside
// quotes in the header; fields may be quoted as in RFC 4180 (separators,
// line breaks and doubled quotes inside). The bytes are UTF-8 (a byte-order
// mark allowed) when all of them are valid UTF-8, else code page 1251.
// PRICE and COUNT take '.' or ',' as the decimal mark, ISBLOCK 1/0, T/F, Y/N,
// true/false or да/нет in any case; a blank field is an empty cell. Lines
// holding nothing but separators are skipped. Any other value refuses the
// whole file, naming its line and field.
//
// Writing: UTF-8 with a byte-order mark, ';' between fields, CR LF line
// ends, the header first, a field quoted only when it holds ';', '"' or a
// line break; numbers with the decimal separator of the regional settings,
// ISBLOCK as 1 or 0.
#pragma once
#include "goods/GoodsExchange.h"

#include <string>
#include <string_view>

class TMemTable;

// Every row of the table, whatever a search shows (a pending edit is posted
// first), as the bytes of a CSV file.
std::string GoodsCsvText(TMemTable& goods, char decimalSeparator);
// Reads and checks the CSV bytes into rows for the table's fields, at most
// limit of them (rows counts the others as left out); the table is not
// touched. OpenFailed for a file that is not a goods CSV (a field missing
// from the header, an unclosed quote), BadValue for a value the table cannot
// take; error says why.
TGoodsFileResult ParseGoodsCsv(const TMemTable& goods, std::string_view bytes, int limit, TGoodsRows& rows,
                               std::string& error);

// The file counterparts of ExportGoods and ImportGoods: the same rules on
// replacing the file and on leaving the table as it was after a failure.
TGoodsFileResult ExportGoodsCsv(TMemTable& goods, const std::string& path, std::string& error);
TGoodsFileResult ImportGoodsCsv(TMemTable& goods, const std::string& path, int limit, std::string& error,
                                int* leftOut = nullptr);
