// The goods exchange file: the goods table mtTOBAP saved to and loaded from a
// dBase IV table with ten fields, for other software to read and write, or
// a CSV file of the same fields (goods/GoodsCsv.h), chosen by the extension.
//
// Prices and sold quantities travel as text written with the decimal
// separator of the computer's regional settings (12.5 is "12,5" under a
// comma). The program learns the separator once, from the user's locale as
// the environment names it (LC_ALL, LC_NUMERIC, LANG through
// std::locale("")); when that locale is unknown to the system it takes ".".
// Reading accepts either separator: the texts carry no thousands separator,
// so a point or a comma can only be the decimal one.
#pragma once
#include "profiles/DbfField.h"
#include "settings/FieldValue.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TMemTable;
class TGoodsTransfer;

// Rows an import takes when no register has been connected.
constexpr int GoodsImportLimitNoRegister = 2000;

// The decimal separator of the regional settings ('.' or ',').
char RegionalDecimalSeparator();
// Replaces the learned separator (tests, the command line); '\0' learns it again.
void SetRegionalDecimalSeparator(char separator);

// The general decimal text of a price or quantity: shortest form, at most
// 15 significant digits, no trailing zeros, "-" when negative, the separator
// given.
std::string GoodsNumberText(TCurrency value, char separator);
// A price or quantity text back as a number ('.' or ',' as separator,
// blanks around ignored, more than 4 decimals rounded); nullopt when the
// text is not a number. Blank text is not a number either: the caller
// treats it as an empty cell.
std::optional<TCurrency> GoodsNumberFromText(std::string_view text);

// CODE N9, TYPE N9, NAME C32, NG N9, PRICE C20, SECTION N9, VESOVOY N9,
// SHTRIH C20, ISBLOCK L1, COUNT C20: file field i belongs to goods-table
// field i.
const std::vector<TDbfFieldDef>& GoodsFileFields();

enum class TGoodsFileResult {
    Ok,
    CreateFailed,  // export: the file could not be created or written; the old file stays
    OpenFailed,    // import: missing, not a dBase table, damaged, or a field missing by name and kind
    BadValue,      // import: a value that the goods table cannot take; the table stays as it was
};

// Rows read from an exchange file and checked, one value per goods-table
// field, not yet in the table.
struct TGoodsRows {
    std::vector<std::vector<TFieldValue>> Rows;
    int LeftOut = 0;  // records past the limit, not taken
};
// A value read from a file converted for goods-table field `field` into row;
// false, with why, when the field cannot take it.
bool StageGoodsValue(const TMemTable& goods, int field, const TFieldValue& value, std::vector<TFieldValue>& row,
                     std::string& why);
// Replaces every row of the table with the staged rows.
void PutGoodsRows(TMemTable& goods, const TGoodsRows& rows);

// Writes every row of the table, whatever a search shows (a pending edit is
// posted first), to a new file that replaces path only when all of it was
// written.
TGoodsFileResult ExportGoods(TMemTable& goods, const std::string& path, std::string& error);
// Replaces the table's rows with the file's first limit records. Fields are
// found by name and kind, further fields ignored. On any failure the table
// keeps what it held and error says why (naming the record and field for a
// bad value). leftOut, when given, gets the number of records past the limit.
TGoodsFileResult ImportGoods(TMemTable& goods, const std::string& path, int limit, std::string& error,
                             int* leftOut = nullptr);

// A name ending in ".csv", in any letter case; every other name is a dBase file.
bool IsCsvFileName(std::string_view path);
// ExportGoods or ExportGoodsCsv, ImportGoods or ImportGoodsCsv by the name.
TGoodsFileResult ExportGoodsFile(TMemTable& goods, const std::string& path, std::string& error);
TGoodsFileResult ImportGoodsFile(TMemTable& goods, const std::string& path, int limit, std::string& error,
                                 int* leftOut = nullptr);

// The two buttons of the goods page ("Записать в DBF", "Считать из DBF")
// with their messages and the transfer rule: pressed while a transfer runs,
// they only ask it to stop. They act on a CSV file when the name ends in
// ".csv".
class TGoodsExchange {
public:
    explicit TGoodsExchange(TGoodsTransfer& goods);

    // Folder of file names given without one: at first the program's own
    // folder; a name with a folder makes that folder the table folder.
    std::string TableDir;
    // The full name of the exchange file for the text of eBdFile.
    std::string TablePath(const std::string& name) const;

    // maxCountGoods of the connected register's image, else 2000.
    int ImportLimit() const;

    bool bSaveTOBAPtoDBFClick(const std::string& fileName);
    bool bLoadTOBAPfromDBFClick(const std::string& fileName);

private:
    bool Refused();
    // TablePath, and a name with a folder makes it the table folder.
    std::string UseTable(const std::string& name);
    TGoodsTransfer& goods_;
};
