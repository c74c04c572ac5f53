#include "goods/GoodsRecord.h"

#include "app/TextCodec.h"
#include "kkm/U_kkms.h"
#include "settings/MemTable.h"

#include <cstring>
#include <map>

namespace {

constexpr int kTypeByte = 0;
constexpr int kFlagsByte = 1;
constexpr int kNameByte = 5;
constexpr int kNameSize = 32;
constexpr int kNGByte = 42;
constexpr int kSectionByte = 43;
constexpr std::size_t kMaxPriceDigits = 10;
constexpr std::size_t kMaxBarcodeDigits = 20;

// The digits of a packed-BCD view as a number; nullopt when the bytes are not BCD.
std::optional<std::int64_t> ViewNumber(const TNumberKKM& view) {
    if (!view.IsValid()) return std::nullopt;
    std::int64_t v = 0;
    for (char c : view.ToStr()) v = v * 10 + (c - '0');
    return v;
}

std::uint8_t LowByte(const TRecordRef& t, const char* field) { return static_cast<std::uint8_t>(t.AsInteger(field) & 0xFF); }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

std::optional<std::int32_t> GoodsRecordCode(const TKKMInfo& info) {
    auto v = ViewNumber(info.GoodsCode);
    if (!v) return std::nullopt;
    return static_cast<std::int32_t>(*v);
}

void TOBAPFromGoods(TMemTable& t, const TKKMInfo& info) {
    const std::uint8_t* g = info.Goods;
    if (auto code = GoodsRecordCode(info)) t.SetValue("Code", *code);
    t.SetValue("Type", static_cast<std::int32_t>(g[kTypeByte]));
    t.SetValue("Name", BytesToStr(g + kNameByte, kNameSize));
    t.SetValue("NG", static_cast<std::int32_t>(g[kNGByte]));
    // Kopecks to roubles; TCurrency counts ten-thousandths.
    t.SetValue("Price", TCurrency{ViewNumber(info.GoodsPrice).value_or(0) * (TCurrency::Scale / 100)});
    t.SetValue("Section", static_cast<std::int32_t>(g[kSectionByte]));
    if (g[kTypeByte] == GoodsTypeGoods) {
        t.SetValue("Vesovoy", (g[kFlagsByte] & GoodsFlagPiece) != 0 ? VesovoyPiece : VesovoyWeight);
        t.SetValue("Shtrih", info.GoodsShtrih.ToStr());
    }
    t.SetValue("isBlock", (g[kFlagsByte] & GoodsFlagBlocked) != 0);
    // Thousandths to units.
    t.SetValue("Count", TCurrency{ViewNumber(info.GoodsCount).value_or(0) * (TCurrency::Scale / 1000)});
}

std::optional<std::string> GoodsPriceDigits(const TFieldValue& price) {
    const TCurrency c = price.AsCurrency();  // null reads as 0
    constexpr std::int64_t perKopeck = TCurrency::Scale / 100;
    if (c.Units < 0 || c.Units % perKopeck != 0) return std::nullopt;
    std::string digits = std::to_string(c.Units / perKopeck);
    if (digits.size() > kMaxPriceDigits) return std::nullopt;
    return digits;
}

void TOBAPToGoods(TMemTable& t, TKKMInfo& info) { TOBAPToGoods(t.CurrentRecord(), info); }

void TOBAPToGoods(const TRecordRef& t, TKKMInfo& info) {
    std::uint8_t* g = info.Goods;
    std::memset(g, 0, KKMGoodsRecordSize);
    info.GoodsCode.FromStr(t.AsString("Code"));
    g[kTypeByte] = LowByte(t, "Type");
    StrToBytes(g + kNameByte, t.AsString("Name"), kNameSize);
    g[kNGByte] = LowByte(t, "NG");
    if (auto digits = GoodsPriceDigits(t.Value("Price"))) info.GoodsPrice.FromStr(*digits);
    g[kSectionByte] = LowByte(t, "Section");
    std::uint8_t flags = 0;
    if (g[kTypeByte] == GoodsTypeGoods) {
        if (t.AsInteger("Vesovoy") == VesovoyPiece) flags = GoodsFlagPiece;
        info.GoodsShtrih.FromStr(t.AsString("Shtrih"));
    }
    if (t.AsBoolean("isBlock")) flags |= GoodsFlagBlocked;
    g[kFlagsByte] = flags;
}

std::optional<std::string> GoodsRowProblem(TMemTable& t) { return GoodsRowProblem(t.CurrentRecord()); }

std::optional<std::string> GoodsRowProblem(const TRecordRef& t) {
    const std::string code = t.AsString("Code");
    const std::string head = "Товар с кодом " + code + " не записан: поле ";
    const std::int64_t codeValue = t.Value("Code").AsInt64();
    if (t.IsNull("Code") || codeValue < MinGoodsCode || codeValue > MaxGoodsCode)
        return head + "\"Код\" должно быть от 1 до 999999";

    // A field wider than its byte, or a name longer than the record holds,
    // would reach the register cut and be reported kept.
    const std::int64_t type = t.Value("Type").AsInt64();
    if (type != GoodsTypeNone && type != GoodsTypeGoods && type != GoodsTypeService && type != GoodsTypeContainer)
        return head + "\"Тип\" " + Quoted(t.AsString("Type")) + " должно быть 0, 160, 165 или 170";
    const std::int64_t ng = t.Value("NG").AsInt64();
    if (ng < 0 || ng > 5) return head + "\"Налог\" " + Quoted(t.AsString("NG")) + " должно быть от 0 до 5";
    const std::int64_t section = t.Value("Section").AsInt64();
    if (section < 0 || section > 255)
        return head + "\"Секция\" " + Quoted(t.AsString("Section")) + " должно быть от 0 до 255";
    if (Utf8ToCp1251(t.AsString("Name")).size() > static_cast<std::size_t>(kNameSize))
        return head + "\"Наименование\" длиннее " + std::to_string(kNameSize) + " знаков";

    const TFieldValue price = t.Value("Price");
    if (!GoodsPriceDigits(price)) {
        const TCurrency c = price.AsCurrency();
        const std::string shown = Quoted(c.ToString());
        if (c.Units < 0) return head + "\"Цена\" " + shown + " отрицательное";
        if (c.Units % (TCurrency::Scale / 100) != 0) return head + "\"Цена\" " + shown + " не целое число копеек";
        return head + "\"Цена\" " + shown + " длиннее 10 цифр в копейках";
    }

    if (LowByte(t, "Type") == GoodsTypeGoods) {
        const std::string barcode = t.AsString("Shtrih");
        if (!barcode.empty() && (!IsDigits(barcode) || barcode.size() > kMaxBarcodeDigits))
            return head + "\"Штрих-код\" " + Quoted(barcode) + " должно содержать только цифры, не более 20";
    }
    return std::nullopt;
}

std::optional<std::string> GoodsRowsProblem(TMemTable& t, const std::vector<int>& rows, int& bad) {
    std::optional<std::string> first;
    bad = 0;
    std::map<std::int64_t, int> lineOf;  // code: the first row with it
    for (int r : rows) {
        const TRecordRef row = t.TableRecord(r);
        auto problem = GoodsRowProblem(row);
        const std::int64_t code = row.Value("Code").AsInt64();
        if (!problem && !lineOf.emplace(code, r).second)
            problem = "Товар с кодом " + row.AsString("Code") + " не записан: код повторяется в строках " +
                      std::to_string(lineOf[code] + 1) + " и " + std::to_string(r + 1);
        if (problem && bad++ == 0) first = problem;
    }
    return first;
}

std::string GoodsNameLostChars(std::string_view name) {
    std::string lost;
    for (std::size_t i = 0; i < name.size();) {
        const auto lead = static_cast<unsigned char>(name[i]);
        const std::size_t n = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        const std::string_view ch = name.substr(i, n);
        i += n;
        if (n == 1 && lead >= 0x20 && lead < 0x80) continue;  // the usual case, decided without converting
        const std::string cp = Utf8ToCp1251(ch);
        // A character outside the code page comes back as '?', which the register would show instead.
        const bool kept = cp.size() == 1 && cp != "?" && IsPrintableChar(static_cast<std::uint8_t>(cp[0]));
        if (!kept && lost.find(ch) == std::string::npos) lost += ch;
    }
    return lost;
}
