// The search of the goods page: only the rows whose code, name or barcode
// contain a text stay visible, letter case ignored and ё taken as е. A text
// of digits only matches the code or the barcode from its start (and names
// containing it).
#pragma once
#include <string>
#include <string_view>

class TMemTable;

// The text as the search compares it: Latin and Russian letters in lower
// case, ё and Ё as е. Other characters stay as they are.
std::string GoodsSearchFold(std::string_view utf8);

// Shows the goods rows matching text (blanks around it ignored); an empty
// text shows every row. The cursor stays on its row while it is shown.
void SetGoodsSearch(TMemTable& goods, std::string_view text);
