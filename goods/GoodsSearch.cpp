#include "goods/GoodsSearch.h"

#include "settings/MemTable.h"

#include <charconv>

namespace {

// Appends the folded text to out (out is reused row after row, so the search
// allocates nothing per row once it has warmed up).
void FoldInto(std::string_view s, std::string& out) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 'A' && c <= 'Z') {
            out += static_cast<char>(c + ('a' - 'A'));
            continue;
        }
        if ((c == 0xD0 || c == 0xD1) && i + 1 < s.size()) {
            const auto n = static_cast<unsigned char>(s[i + 1]);
            if ((c == 0xD0 && n == 0x81) || (c == 0xD1 && n == 0x91)) {  // Ё, ё -> е
                out += "\xD0\xB5";
                ++i;
                continue;
            }
            if (c == 0xD0 && n >= 0x90 && n <= 0x9F) {  // А..П -> а..п
                out += '\xD0';
                out += static_cast<char>(n + 0x20);
                ++i;
                continue;
            }
            if (c == 0xD0 && n >= 0xA0 && n <= 0xAF) {  // Р..Я -> р..я
                out += '\xD1';
                out += static_cast<char>(n - 0x20);
                ++i;
                continue;
            }
        }
        out += static_cast<char>(c);
    }
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

struct TGoodsMatch {
    std::string Needle;
    std::size_t Code, Name, Shtrih;
    mutable std::string Folded;

    bool Contains(const TFieldValue& v) const {
        if (const auto* text = std::get_if<std::string>(&v.V)) {
            Folded.clear();
            FoldInto(*text, Folded);
            return Folded.find(Needle) != std::string::npos;
        }
        if (const auto* number = std::get_if<std::int64_t>(&v.V)) {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, *number).ptr;
            return std::string_view(digits, static_cast<std::size_t>(end - digits)).find(Needle) != std::string_view::npos;
        }
        return false;
    }
    bool operator()(const TRow& r) const {
        return Contains(r.Values[Code]) || Contains(r.Values[Name]) || Contains(r.Values[Shtrih]);
    }
};

}  // namespace

std::string GoodsSearchFold(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    FoldInto(utf8, out);
    return out;
}

void SetGoodsSearch(TMemTable& goods, std::string_view text) {
    text = TrimBlanks(text);
    const int code = goods.FieldIndex("Code"), name = goods.FieldIndex("Name"), shtrih = goods.FieldIndex("Shtrih");
    if (text.empty() || code < 0 || name < 0 || shtrih < 0) {
        if (goods.RowFiltered()) goods.SetRowFilter(nullptr);
        return;
    }
    goods.SetRowFilter(TGoodsMatch{GoodsSearchFold(text), static_cast<std::size_t>(code),
                                   static_cast<std::size_t>(name), static_cast<std::size_t>(shtrih), {}});
}
