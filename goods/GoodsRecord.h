// Conversion between the register's 64-byte goods record (TKKMInfo::Goods)
// and one row of the goods table mtTOBAP, and the check a row passes before
// it is written to the register.
#pragma once
#include "settings/FieldValue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TKKMInfo;
class TMemTable;
class TRecordRef;

// Goods record types (byte 0).
constexpr std::int32_t GoodsTypeNone = 0;
constexpr std::int32_t GoodsTypeGoods = 0xAA;      // 170 "товар"
constexpr std::int32_t GoodsTypeService = 0xA5;    // 165 "услуга"
constexpr std::int32_t GoodsTypeContainer = 0xA0;  // 160 "тара"

// Flags (byte 1).
constexpr std::uint8_t GoodsFlagPiece = 0x01;  // sold by the piece; goods only
constexpr std::uint8_t GoodsFlagBlocked = 0x02;

// Vesovoy values of the table.
constexpr std::int32_t VesovoyPiece = 1;
constexpr std::int32_t VesovoyWeight = 2;

constexpr std::int32_t MinGoodsCode = 1;
constexpr std::int32_t MaxGoodsCode = 999999;

// The code held in the record, or nullopt when its bytes are not packed BCD.
std::optional<std::int32_t> GoodsRecordCode(const TKKMInfo& info);

// TfmMain::TOBAPFromGoods: fills the current row of the table (already in
// edit or insert state) from info.Goods. Vesovoy and Shtrih change only for
// type 170 (goods); a sold quantity that is not packed BCD reads as 0, and so
// does a price that is not.
void TOBAPFromGoods(TMemTable& mtTOBAP, const TKKMInfo& info);

// TfmMain::TOBAPToGoods: fills info.Goods from the current row. The sold
// quantity is not carried (the register gets the keep-count flag instead).
// A field that cannot be carried (see GoodsRowProblem) is left zero, so call
// GoodsRowProblem first.
void TOBAPToGoods(TMemTable& mtTOBAP, TKKMInfo& info);
// The same for any row of the table.
void TOBAPToGoods(const TRecordRef& row, TKKMInfo& info);

// Why the current row cannot be written to the register as it stands, as a
// text naming the row's code and the field; nullopt when it can. Refused: a
// code outside 1..999999, a price that is negative, not a whole number of
// kopecks or longer than 10 digits in kopecks, and for goods (type 170) a
// barcode of anything but digits or longer than 20 digits.
std::optional<std::string> GoodsRowProblem(TMemTable& mtTOBAP);
std::optional<std::string> GoodsRowProblem(const TRecordRef& row);

// The first problem among the rows (positions in the whole table): a row
// GoodsRowProblem refuses, or a code on two rows (naming both); bad counts
// the rows with one. nullopt when every row can be written.
std::optional<std::string> GoodsRowsProblem(TMemTable& t, const std::vector<int>& rows, int& bad);

// The characters of a goods name that the register cannot keep (outside
// Latin letters, digits, punctuation and Russian letters of code page 1251:
// «», №, dashes, tabs...), each once, in the order they first appear; empty
// when the whole name is kept.
std::string GoodsNameLostChars(std::string_view name);

// The price digits of the record (kopecks) for a price in roubles; nullopt
// when the price cannot be carried.
std::optional<std::string> GoodsPriceDigits(const TFieldValue& price);
