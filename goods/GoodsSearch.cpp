#include "goods/GoodsSearch.h"

#include "settings/MemTable.h"

#include <charconv>

namespace {

// Folds s into out, which becomes exactly as long as s (no letter changes
// its length in UTF-8 here). out is reused row after row, so the search
// allocates nothing per row once it has warmed up.
void FoldInto(std::string_view s, std::string& out) {
    out.resize(s.size());
    char* o = out.data();
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            o[i] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
            continue;
        }
        o[i] = static_cast<char>(c);
        if ((c != 0xD0 && c != 0xD1) || i + 1 >= n) continue;
        const auto next = static_cast<unsigned char>(s[i + 1]);
        unsigned char lead = c, trail = next;
        if ((c == 0xD0 && next == 0x81) || (c == 0xD1 && next == 0x91)) lead = 0xD0, trail = 0xB5;  // Ё, ё -> е
        else if (c == 0xD0 && next >= 0x90 && next <= 0x9F) trail = next + 0x20;                     // А..П -> а..п
        else if (c == 0xD0 && next >= 0xA0 && next <= 0xAF) lead = 0xD1, trail = next - 0x20;         // Р..Я -> р..я
        o[i] = static_cast<char>(lead);
        o[++i] = static_cast<char>(trail);
    }
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool AllDigits(std::string_view s) { return s.find_first_not_of("0123456789") == std::string_view::npos; }

struct TGoodsMatch {
    std::string Needle;
    std::size_t Code, Name, Shtrih;
    // Digits only: the code and the barcode match from their start. The
    // barcodes of one maker share their first eight digits, so "12" found
    // anywhere in them matched most of the table.
    bool FromStart;
    mutable std::string Folded;

    bool Has(std::string_view hay, bool fromStart) const {
        return fromStart ? hay.substr(0, Needle.size()) == Needle : hay.find(Needle) != std::string_view::npos;
    }
    bool Contains(const TFieldValue& v, bool fromStart) const {
        if (const auto* text = std::get_if<std::string>(&v.V)) {
            if (text->size() < Needle.size()) return false;
            FoldInto(*text, Folded);
            return Has(Folded, fromStart);
        }
        if (const auto* number = std::get_if<std::int64_t>(&v.V)) {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, *number).ptr;
            return Has(std::string_view(digits, static_cast<std::size_t>(end - digits)), fromStart);
        }
        return false;
    }
    bool operator()(const TRow& r) const {
        return Contains(r.Values[Code], FromStart) || Contains(r.Values[Name], false) ||
               Contains(r.Values[Shtrih], FromStart);
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
    std::string needle = GoodsSearchFold(text);
    // Typing on: rows hidden for the shorter text stay hidden.
    const auto* shown = goods.RowFilter().target<TGoodsMatch>();
    const bool fromStart = AllDigits(needle);
    const bool narrows = shown && shown->FromStart == fromStart &&
                         (fromStart ? needle.rfind(shown->Needle, 0) == 0 : needle.find(shown->Needle) != std::string::npos);
    goods.SetRowFilter(TGoodsMatch{std::move(needle), static_cast<std::size_t>(code), static_cast<std::size_t>(name),
                                   static_cast<std::size_t>(shtrih), fromStart, {}},
                       narrows);
}
