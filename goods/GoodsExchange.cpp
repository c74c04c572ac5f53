#include "goods/GoodsExchange.h"

#include "app/Dialog.h"
#include "app/TransferState.h"
#include "app/U_filedirwork.h"
#include "goods/GoodsCsv.h"
#include "goods/GoodsTransfer.h"
#include "kkm/RegisterSession.h"
#include "profiles/DbfTable.h"
#include "profiles/ProfileTexts.h"
#include "settings/MemTable.h"
#include "settings/Unitbd.h"

#include <unistd.h>

#include <cmath>

namespace {

char g_separator = '\0';  // '\0': not learned yet

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

constexpr int kMaxSignificant = 15;
constexpr double kMaxAmount = 900000000000000.0;  // what TCurrency holds exactly

bool IsNumberText(const TDbfFieldDef& f) { return f.Name == "PRICE" || f.Name == "COUNT"; }

// Field i of the file and of the goods table.
struct TFieldPair {
    int File = -1;
    int Goods = -1;
    const TDbfFieldDef* Def = nullptr;
};

std::vector<TFieldPair> PairFields(const TDbfTable& file, const TMemTable& goods) {
    std::vector<TFieldPair> pairs;
    for (const auto& def : GoodsFileFields()) pairs.push_back({file.FieldIndex(def.Name), goods.FieldIndex(def.Name), &def});
    return pairs;
}

}  // namespace

// ------------------------------------------------------------ number texts

char RegionalDecimalSeparator() {
    if (g_separator == '\0') g_separator = LocaleDecimalSeparator();
    return g_separator;
}

void SetRegionalDecimalSeparator(char separator) { g_separator = separator; }

std::string GoodsNumberText(TCurrency value, char separator) {
    int digits = 0;
    for (char c : value.ToString()) digits += c >= '0' && c <= '9';
    return digits > kMaxSignificant ? GeneralNumberText(value.ToDouble(), separator) : CurrencyText(value, separator);
}

std::optional<TCurrency> GoodsNumberFromText(std::string_view text) {
    text = TrimBlanks(text);
    if (auto exact = TCurrency::Parse(text)) return exact;
    // More decimals than a price holds, or an exponent: rounded to 4 decimals.
    const auto v = ParseStoredNumber(text);
    if (!v || !std::isfinite(*v) || std::fabs(*v) > kMaxAmount) return std::nullopt;
    return TCurrency::FromDouble(*v);
}

const std::vector<TDbfFieldDef>& GoodsFileFields() {
    using F = TDbfFieldDef;
    static const std::vector<TDbfFieldDef> fields = {
        F::Integer("CODE"),    F::Integer("TYPE"),    F::Text("NAME", 32),   F::Integer("NG"),
        F::Text("PRICE", 20),  F::Integer("SECTION"), F::Integer("VESOVOY"), F::Text("SHTRIH", 20),
        F::Boolean("ISBLOCK"), F::Text("COUNT", 20)};
    return fields;
}

// ------------------------------------------------------------------ export

TGoodsFileResult ExportGoods(TMemTable& goods, const std::string& path, std::string& error) {
    TDbfTable file;
    if (!file.CreateReplacing(path, GoodsFileFields())) {
        error = file.LastError();
        return TGoodsFileResult::CreateFailed;
    }
    goods.First();  // a row being edited is posted first
    const char separator = RegionalDecimalSeparator();
    const auto pairs = PairFields(file, goods);
    const int rows = goods.TotalRowCount();
    for (int r = 0; r < rows; ++r) {
        bool ok = file.Append();
        for (const auto& p : pairs) {
            const TFieldValue v = goods.TableValue(r, p.Goods);
            if (!ok || v.IsNull()) continue;  // a new record is all blanks
            switch (p.Def->Kind) {
            case 'N': ok = file.SetInteger(p.File, v.AsInt64()); break;
            case 'L': ok = file.SetBool(p.File, v.AsBoolean()); break;
            default:
                ok = file.SetText(p.File, IsNumberText(*p.Def) ? GoodsNumberText(v.AsCurrency(), separator) : v.AsString());
            }
        }
        if (!ok || !file.Post()) {
            error = file.LastError();
            return TGoodsFileResult::CreateFailed;  // the unfinished file is dropped, the old one stays
        }
    }
    if (!file.Close()) {
        error = file.LastError();
        return TGoodsFileResult::CreateFailed;
    }
    return TGoodsFileResult::Ok;
}

// ------------------------------------------------------------------ import

bool StageGoodsValue(const TMemTable& goods, int field, const TFieldValue& value, std::vector<TFieldValue>& row,
                     std::string& why) {
    const TFieldDef& target = goods.Field(field);
    auto converted = value.ConvertTo(target.Type, target.Size);
    if (!converted) {
        why = "не подходит для поля " + target.Name;
        return false;
    }
    row[static_cast<std::size_t>(field)] = std::move(*converted);
    return true;
}

void PutGoodsRows(TMemTable& goods, const TGoodsRows& rows) {
    goods.DisableControls();  // one reset for the grid instead of a notice per row
    goods.EmptyTable();
    for (const auto& row : rows.Rows) {
        goods.Append();
        for (int f = 0; f < goods.FieldCount() && f < static_cast<int>(row.size()); ++f)
            if (!row[static_cast<std::size_t>(f)].IsNull()) goods.SetValue(goods.Field(f).Name, row[static_cast<std::size_t>(f)]);
        goods.Post();
    }
    goods.First();
    goods.EnableControls();
}

TGoodsFileResult ImportGoods(TMemTable& goods, const std::string& path, int limit, std::string& error, int* leftOut) {
    TDbfTable file;
    if (!file.OpenExisting(path, true) || !file.HasFields(GoodsFileFields())) {
        error = file.LastError();
        return TGoodsFileResult::OpenFailed;
    }
    const auto pairs = PairFields(file, goods);

    // Everything is read and checked before the table changes.
    TGoodsRows staged;
    bool ok = file.First();
    for (; ok && !file.Eof(); ok = file.Next()) {
        if (static_cast<long long>(staged.Rows.size()) >= limit) {
            ++staged.LeftOut;  // counted, not read
            continue;
        }
        std::vector<TFieldValue> row(static_cast<std::size_t>(goods.FieldCount()));
        for (const auto& p : pairs) {
            if (file.IsNull(p.File)) continue;
            TFieldValue v;
            std::string why;
            switch (p.Def->Kind) {
            case 'N': v = TFieldValue(static_cast<std::int64_t>(file.GetInteger(p.File).value_or(0))); break;
            case 'L': v = TFieldValue(file.GetBool(p.File).value_or(false)); break;
            default: {
                const std::string text = file.GetText(p.File);
                v = TFieldValue(text);
                if (!IsNumberText(*p.Def)) break;
                if (auto number = GoodsNumberFromText(text)) v = TFieldValue(*number);
                else why = "не число";
            }
            }
            if (!why.empty() || !StageGoodsValue(goods, p.Goods, v, row, why)) {
                error = "Запись " + std::to_string(file.RecNo()) + " файла " + path + ": поле " + p.Def->Name + " \"" +
                        v.AsString() + "\" " + why;
                return TGoodsFileResult::BadValue;
            }
        }
        staged.Rows.push_back(std::move(row));
    }
    // Damage past the rows taken only shortens the count of those left out.
    if (!ok && static_cast<long long>(staged.Rows.size()) < limit) {
        error = file.LastError();
        return TGoodsFileResult::OpenFailed;
    }
    file.Close();
    PutGoodsRows(goods, staged);
    if (leftOut) *leftOut = staged.LeftOut;
    return TGoodsFileResult::Ok;
}

bool IsCsvFileName(std::string_view path) {
    if (path.size() < 4) return false;
    std::string ext(path.substr(path.size() - 4));
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return ext == ".csv";
}

TGoodsFileResult ExportGoodsFile(TMemTable& goods, const std::string& path, std::string& error) {
    return IsCsvFileName(path) ? ExportGoodsCsv(goods, path, error) : ExportGoods(goods, path, error);
}

TGoodsFileResult ImportGoodsFile(TMemTable& goods, const std::string& path, int limit, std::string& error,
                                 int* leftOut) {
    return IsCsvFileName(path) ? ImportGoodsCsv(goods, path, limit, error, leftOut)
                               : ImportGoods(goods, path, limit, error, leftOut);
}

// --------------------------------------------------------- page operations

TGoodsExchange::TGoodsExchange(TGoodsTransfer& goods) : goods_(goods) {
    // Beside the program; where the program's folder cannot be written
    // (an installed program), the working directory.
    const std::string dir = ProgramDir();
    TableDir = ::access(dir.c_str(), W_OK) == 0 ? dir : CurrentDir();
}

std::string TGoodsExchange::TablePath(const std::string& name) const {
    return name.find('/') == std::string::npos ? JoinPath(TableDir, name) : name;
}

std::string TGoodsExchange::UseTable(const std::string& name) {
    const auto slash = name.rfind('/');
    if (slash != std::string::npos) TableDir = slash == 0 ? "/" : name.substr(0, slash);
    return TablePath(name);
}

int TGoodsExchange::ImportLimit() const {
    const TKKMInfo* info = goods_.Session.Info();
    return info ? info->GetMaxCountGoods() : GoodsImportLimitNoRegister;
}

bool TGoodsExchange::Refused() {
    if (goods_.Transfer.TransferRunning) {
        goods_.Transfer.StopRequested = true;
        return true;
    }
    return goods_.Busy();
}

namespace {

// What the two buttons report, by the kind of file.
struct TExchangeTexts {
    const char* Written;
    const char* Read;
    const char* CannotCreate;
    const char* CannotOpen;
};
constexpr TExchangeTexts kDbfTexts{"Данные записаны в DBF файл", "Данные считаны из DBF файла",
                                   "Не удалось создать DBF файл", "Не удалось открыть DBF файл"};
constexpr TExchangeTexts kCsvTexts{"Данные записаны в CSV файл", "Данные считаны из CSV файла",
                                   "Не удалось создать CSV файл", "Не удалось открыть CSV файл"};

const TExchangeTexts& TextsFor(const std::string& path) { return IsCsvFileName(path) ? kCsvTexts : kDbfTexts; }

}  // namespace

bool TGoodsExchange::bSaveTOBAPtoDBFClick(const std::string& fileName) {
    if (Refused()) return false;
    const std::string path = UseTable(fileName);
    const TExchangeTexts& texts = TextsFor(path);
    std::string error;
    if (ExportGoodsFile(goods_.BD.mtTOBAP, path, error) != TGoodsFileResult::Ok) {
        Error(error, false, true, true);
        Error(texts.CannotCreate, true, true, true);
        return false;
    }
    Mess(texts.Written, false, true, true);
    return true;
}

bool TGoodsExchange::bLoadTOBAPfromDBFClick(const std::string& fileName) {
    const int limit = ImportLimit();
    if (Refused()) return false;
    const std::string path = UseTable(fileName);
    const TExchangeTexts& texts = TextsFor(path);
    std::string error;
    int leftOut = 0;
    switch (ImportGoodsFile(goods_.BD.mtTOBAP, path, limit, error, &leftOut)) {
    case TGoodsFileResult::Ok:
        Mess(texts.Read, false, true, true);
        if (leftOut > 0)
            Warning("Не считано строк сверх " +
                        std::string(goods_.Session.Info() ? "ёмкости модели" : "предела без подключённой ККМ") +
                        " (" + std::to_string(limit) + "): " + std::to_string(leftOut),
                    false, true, true);
        return true;
    case TGoodsFileResult::BadValue:
        Error(error + "; товары не изменены", true, true, true);
        return false;
    default:
        // A CSV file is refused for what the operator can mend (a missing
        // field), so the box says why; a dBase file that cannot be opened is
        // mostly not a goods file at all.
        if (IsCsvFileName(path)) {
            Error(std::string(texts.CannotOpen) + " " + path + ": " + error, true, true, true);
        } else {
            Error(error, false, true, true);
            Error(texts.CannotOpen, true, true, true);
        }
        return false;
    }
}
