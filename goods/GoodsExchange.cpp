#include "goods/GoodsExchange.h"

#include "app/Dialog.h"
#include "app/TransferState.h"
#include "app/U_filedirwork.h"
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
    const int rows = goods.RecordCount();
    for (int r = 0; r < rows; ++r) {
        bool ok = file.Append();
        for (const auto& p : pairs) {
            const TFieldValue v = goods.VisibleValue(r, p.Goods);
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

TGoodsFileResult ImportGoods(TMemTable& goods, const std::string& path, int limit, std::string& error) {
    TDbfTable file;
    if (!file.OpenExisting(path, true) || !file.HasFields(GoodsFileFields())) {
        error = file.LastError();
        return TGoodsFileResult::OpenFailed;
    }
    const auto pairs = PairFields(file, goods);

    // Everything is read and checked before the table changes.
    std::vector<std::vector<TFieldValue>> rows;
    const auto badValue = [&](const TFieldPair& p, const std::string& shown, const std::string& why) {
        error = "Запись " + std::to_string(file.RecNo()) + " файла " + path + ": поле " + p.Def->Name + " \"" + shown +
                "\" " + why;
        return TGoodsFileResult::BadValue;
    };
    bool ok = file.First();
    while (ok && !file.Eof() && static_cast<long long>(rows.size()) < limit) {
        std::vector<TFieldValue> row(static_cast<std::size_t>(goods.FieldCount()));
        for (const auto& p : pairs) {
            if (file.IsNull(p.File)) continue;
            const TFieldDef& target = goods.Field(p.Goods);
            TFieldValue v;
            switch (p.Def->Kind) {
            case 'N': v = TFieldValue(static_cast<std::int64_t>(file.GetInteger(p.File).value_or(0))); break;
            case 'L': v = TFieldValue(file.GetBool(p.File).value_or(false)); break;
            default: {
                const std::string text = file.GetText(p.File);
                if (IsNumberText(*p.Def)) {
                    auto number = GoodsNumberFromText(text);
                    if (!number) return badValue(p, text, "не число");
                    v = TFieldValue(*number);
                } else {
                    v = TFieldValue(text);
                }
            }
            }
            auto converted = v.ConvertTo(target.Type, target.Size);
            if (!converted) return badValue(p, v.AsString(), "не подходит для поля " + target.Name);
            row[static_cast<std::size_t>(p.Goods)] = std::move(*converted);
        }
        rows.push_back(std::move(row));
        ok = file.Next();
    }
    if (!ok) {
        error = file.LastError();
        return TGoodsFileResult::OpenFailed;
    }
    file.Close();

    goods.DisableControls();  // one reset for the grid instead of a notice per row
    goods.EmptyTable();
    for (const auto& row : rows) {
        goods.Append();
        for (const auto& p : pairs) {
            const auto& v = row[static_cast<std::size_t>(p.Goods)];
            if (!v.IsNull()) goods.SetValue(goods.Field(p.Goods).Name, v);
        }
        goods.Post();
    }
    goods.First();
    goods.EnableControls();
    return TGoodsFileResult::Ok;
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

bool TGoodsExchange::bSaveTOBAPtoDBFClick(const std::string& fileName) {
    if (Refused()) return false;
    std::string error;
    if (ExportGoods(goods_.BD.mtTOBAP, UseTable(fileName), error) != TGoodsFileResult::Ok) {
        Error(error, false, true, true);
        Error("Не удалось создать DBF файл", true, true, true);
        return false;
    }
    Mess("Данные записаны в DBF файл", false, true, true);
    return true;
}

bool TGoodsExchange::bLoadTOBAPfromDBFClick(const std::string& fileName) {
    const int limit = ImportLimit();
    if (Refused()) return false;
    std::string error;
    switch (ImportGoods(goods_.BD.mtTOBAP, UseTable(fileName), limit, error)) {
    case TGoodsFileResult::Ok:
        Mess("Данные считаны из DBF файла", false, true, true);
        return true;
    case TGoodsFileResult::BadValue:
        Error(error + "; товары не изменены", true, true, true);
        return false;
    default:
        Error(error, false, true, true);
        Error("Не удалось открыть DBF файл", true, true, true);
        return false;
    }
}
