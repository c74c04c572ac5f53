#include "goods/GoodsCsv.h"

#include "app/TextCodec.h"
#include "app/U_filedirwork.h"
#include "goods/GoodsSearch.h"
#include "settings/MemTable.h"

#include <array>
#include <charconv>

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::size_t kFieldCount = 10;

bool IsNumberText(const TDbfFieldDef& f) { return f.Name == "PRICE" || f.Name == "COUNT"; }

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t n = 0;
        char32_t cp = 0;
        if (c >= 0xC2 && c <= 0xDF) n = 1, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) n = 2, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) n = 3, cp = c & 0x07;
        else return false;
        if (i + n >= s.size()) return false;
        for (std::size_t k = 1; k <= n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

// RFC 4180 records, one at a time, with the line each starts on.
class TCsvReader {
public:
    TCsvReader(std::string_view text, char separator) : s_(text), sep_(separator) {}

    bool AtEnd() const { return pos_ >= s_.size(); }
    int Line() const { return line_; }

    // The next record's fields into fields (reused); false with error for a
    // quote left open at the end of the text.
    bool Next(std::vector<std::string>& fields, std::size_t& count, std::string& error) {
        count = 0;
        const int startLine = line_;
        for (;;) {
            if (count == fields.size()) fields.emplace_back();
            std::string& f = fields[count++];
            f.clear();
            if (pos_ < s_.size() && s_[pos_] == '"') {
                ++pos_;
                for (;;) {
                    const std::size_t quote = s_.find('"', pos_);
                    if (quote == std::string_view::npos) {
                        error = "строка " + std::to_string(startLine) + ": кавычки не закрыты до конца файла";
                        return false;
                    }
                    CountLines(pos_, quote);
                    f.append(s_.substr(pos_, quote - pos_));
                    pos_ = quote + 1;
                    if (pos_ < s_.size() && s_[pos_] == '"') {
                        f += '"';
                        ++pos_;
                        continue;
                    }
                    break;
                }
            }
            // Unquoted text, or what follows a closing quote up to the separator.
            std::size_t end = pos_;
            while (end < s_.size() && s_[end] != sep_ && s_[end] != '\n' && s_[end] != '\r') ++end;
            f.append(s_.substr(pos_, end - pos_));
            pos_ = end;
            if (pos_ < s_.size() && s_[pos_] == sep_) {
                ++pos_;
                continue;
            }
            // End of the record: CR LF, LF or CR alone.
            if (pos_ < s_.size() && s_[pos_] == '\r') ++pos_;
            if (pos_ < s_.size() && s_[pos_] == '\n') ++pos_;
            ++line_;
            return true;
        }
    }

private:
    void CountLines(std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to; ++i)
            if (s_[i] == '\n' || (s_[i] == '\r' && (i + 1 >= s_.size() || s_[i + 1] != '\n'))) ++line_;
    }

    std::string_view s_;
    char sep_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

// The first ';', ',' or tab outside quotes in the header line; ';' when none.
char DetectSeparator(std::string_view text) {
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        else if (!quoted && (c == ';' || c == ',' || c == '\t')) return c;
        else if (!quoted && (c == '\n' || c == '\r')) break;
    }
    return ';';
}

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return out;
}

std::optional<bool> BooleanFromText(std::string_view text) {
    const std::string t = GoodsSearchFold(text);
    for (const char* yes : {"1", "t", "y", "true", "да"})
        if (t == yes) return true;
    for (const char* no : {"0", "f", "n", "false", "нет"})
        if (t == no) return false;
    return std::nullopt;
}

bool NeedsQuotes(std::string_view s) { return s.find_first_of(";\"\r\n") != std::string_view::npos; }

void AppendField(std::string& out, std::string_view s) {
    if (!NeedsQuotes(s)) {
        out.append(s);
        return;
    }
    out += '"';
    for (char c : s) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace

// ----------------------------------------------------------------- writing

std::string GoodsCsvText(TMemTable& goods, char decimalSeparator) {
    goods.First();  // a row being edited is posted first
    const auto& defs = GoodsFileFields();
    std::array<int, kFieldCount> fields{};
    std::string out(kBom);
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        fields[i] = goods.FieldIndex(defs[i].Name);
        if (i > 0) out += ';';
        out += defs[i].Name;
    }
    out += "\r\n";
    const int rows = goods.TotalRowCount();
    out.reserve(out.size() + static_cast<std::size_t>(rows) * 96);
    char digits[24];
    for (int r = 0; r < rows; ++r) {
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            if (i > 0) out += ';';
            const TFieldValue v = goods.TableValue(r, fields[i]);
            if (v.IsNull()) continue;
            switch (defs[i].Kind) {
            case 'N': out.append(digits, std::to_chars(digits, digits + sizeof digits, v.AsInt64()).ptr); break;
            case 'L': out += v.AsBoolean() ? '1' : '0'; break;
            default:
                if (IsNumberText(defs[i])) out += GoodsNumberText(v.AsCurrency(), decimalSeparator);
                else if (const auto* text = std::get_if<std::string>(&v.V)) AppendField(out, *text);
                else AppendField(out, v.AsString());
            }
        }
        out += "\r\n";
    }
    return out;
}

TGoodsFileResult ExportGoodsCsv(TMemTable& goods, const std::string& path, std::string& error) {
    return WriteFileAtomic(path, GoodsCsvText(goods, RegionalDecimalSeparator()), &error) ? TGoodsFileResult::Ok
                                                                                         : TGoodsFileResult::CreateFailed;
}

// ----------------------------------------------------------------- reading

TGoodsFileResult ParseGoodsCsv(const TMemTable& goods, std::string_view bytes, int limit, TGoodsRows& rows,
                               std::string& error) {
    rows = {};
    if (bytes.substr(0, kBom.size()) == kBom) bytes.remove_prefix(kBom.size());
    std::string converted;
    if (!IsValidUtf8(bytes)) {
        converted = Cp1251ToUtf8(bytes);
        bytes = converted;
    }

    TCsvReader reader(bytes, DetectSeparator(bytes));
    std::vector<std::string> cells;
    std::size_t count = 0;
    if (reader.AtEnd() || !reader.Next(cells, count, error)) {
        if (error.empty()) error = "файл пуст, нет строки заголовка";
        return TGoodsFileResult::OpenFailed;
    }
    // Column of each file field, found by name in any case; the first wins.
    const auto& defs = GoodsFileFields();
    std::array<std::size_t, kFieldCount> column{};
    std::array<int, kFieldCount> target{};
    std::string missing;
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        column[i] = count;
        for (std::size_t c = 0; c < count && column[i] == count; ++c)
            if (UpperAscii(TrimBlanks(cells[c])) == defs[i].Name) column[i] = c;
        if (column[i] == count) missing += (missing.empty() ? "" : ", ") + defs[i].Name;
        target[i] = goods.FieldIndex(defs[i].Name);
    }
    if (!missing.empty()) {
        error = "в строке заголовка нет пол" + std::string(missing.find(',') == std::string::npos ? "я " : "ей ") +
                missing;
        return TGoodsFileResult::OpenFailed;
    }

    while (!reader.AtEnd()) {
        const int line = reader.Line();
        if (!reader.Next(cells, count, error)) return TGoodsFileResult::OpenFailed;
        bool blank = true;
        for (std::size_t c = 0; c < count && blank; ++c) blank = cells[c].empty();
        if (blank) continue;
        if (static_cast<long long>(rows.Rows.size()) >= limit) {
            ++rows.LeftOut;
            continue;
        }
        std::vector<TFieldValue> row(static_cast<std::size_t>(goods.FieldCount()));
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            // A short line (a spreadsheet drops trailing empty cells) leaves the rest blank.
            static const std::string kBlank;
            const std::string& text = column[i] < count ? cells[column[i]] : kBlank;
            const std::string_view trimmed = TrimBlanks(text);
            TFieldValue v(text);
            std::string why;
            if (defs[i].Kind == 'C' && !IsNumberText(defs[i])) {
                // text as it stands
            } else if (trimmed.empty()) {
                continue;  // an empty cell
            } else if (defs[i].Kind == 'L') {
                if (auto b = BooleanFromText(trimmed)) v = TFieldValue(*b);
                else why = "не логическое значение (1/0, T/F, Y/N, true/false, да/нет)";
            } else if (IsNumberText(defs[i])) {
                if (auto number = GoodsNumberFromText(trimmed)) v = TFieldValue(*number);
                else why = "не число";
            } else {
                std::int64_t number = 0;
                const auto [end, ec] = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), number);
                if (ec == std::errc() && end == trimmed.data() + trimmed.size()) v = TFieldValue(number);
                else why = "не целое число";
            }
            if (!why.empty() || !StageGoodsValue(goods, target[i], v, row, why)) {
                error = "строка " + std::to_string(line) + ": поле " + defs[i].Name + " \"" + text + "\" " + why;
                return TGoodsFileResult::BadValue;
            }
        }
        rows.Rows.push_back(std::move(row));
    }
    return TGoodsFileResult::Ok;
}

TGoodsFileResult ImportGoodsCsv(TMemTable& goods, const std::string& path, int limit, std::string& error,
                                int* leftOut) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) {
        error = "файл " + path + " не читается";
        return TGoodsFileResult::OpenFailed;
    }
    TGoodsRows rows;
    const TGoodsFileResult result = ParseGoodsCsv(goods, bytes, limit, rows, error);
    if (result == TGoodsFileResult::BadValue) error = "Файл " + path + ", " + error;
    if (result != TGoodsFileResult::Ok) return result;
    PutGoodsRows(goods, rows);
    if (leftOut) *leftOut = rows.LeftOut;
    return TGoodsFileResult::Ok;
}
