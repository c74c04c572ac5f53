#include "settings/Unitbd.h"

#include "lang/U_language.h"
#include "settings/OptionCatalogue.h"

#include <utility>

namespace {

TFieldDef IntegerField(std::string name, std::string label = {}) {
    TFieldDef f;
    f.Name = std::move(name);
    f.Type = TFieldType::Integer;
    f.DisplayLabel = std::move(label);
    return f;
}

TFieldDef StringField(std::string name, int size, std::string label = {}) {
    TFieldDef f;
    f.Name = std::move(name);
    f.Type = TFieldType::String;
    f.Size = size;
    f.DisplayLabel = std::move(label);
    return f;
}

TFieldDef TypedField(std::string name, TFieldType type, std::string label = {}) {
    TFieldDef f;
    f.Name = std::move(name);
    f.Type = type;
    f.DisplayLabel = std::move(label);
    return f;
}

// An integer code shown as a text from a fixed list; a code outside the list
// is shown as its number, and a typed number is taken as the code.
void ShowCodesAs(TFieldDef& f, std::vector<std::pair<std::int32_t, std::string>> texts) {
    f.OnGetText = [texts](const TFieldValue& v) -> std::string {
        if (v.IsNull()) return {};
        for (const auto& [code, text] : texts)
            if (code == v.AsInteger()) return text;
        return v.AsString();
    };
    f.OnSetText = [texts](const std::string& s) -> std::optional<TFieldValue> {
        for (const auto& [code, text] : texts)
            if (text == s) return TFieldValue(code);
        return TFieldValue(s).ConvertTo(TFieldType::Integer, 0);
    };
    f.PickList = [texts] {
        std::vector<std::string> out;
        for (const auto& t : texts) out.push_back(t.second);
        return out;
    };
}

std::vector<std::string> TaxGroupLetters() { return {"", "A", "B", "C", "D", "E"}; }

}  // namespace

// ----------------------------------------------------------- department kind

std::int32_t NormalDepKind(std::int32_t code) {
    return code == DepKindGoods || code == DepKindService ? code : DepKindClosed;
}

std::string DepKindText(const TFieldValue& kind) {
    if (kind.IsNull()) return {};
    return DepKindText(static_cast<std::uint8_t>(NormalDepKind(kind.AsInteger())));
}

std::optional<std::int32_t> DepKindFromText(const std::string& text) {
    if (text == LangStr(45)) return DepKindGoods;
    if (text == LangStr(46)) return DepKindService;
    if (text == LangStr(47)) return DepKindClosed;
    if (auto v = TFieldValue(text).ConvertTo(TFieldType::Integer, 0); v && !v->IsNull()) {
        std::int32_t code = v->AsInteger();
        if (code == DepKindGoods || code == DepKindService || code == DepKindClosed) return code;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------- TBD

TBD::TBD() {
    DefineTables();
    DataModuleCreate();
}

void TBD::DefineTables() {
    auto setLN = [this](TMemTable& t) { mtDepatmentAfterInsert(t); };

    {
        mtProfile.AddField(StringField("LN", 20));
        TFieldDef name = StringField("Name", 30);
        name.DisplayWidth = 10;
        mtProfile.AddField(std::move(name));
        mtProfile.BeforeScroll = [this](TMemTable& t) { mtProfileBeforeScroll(t); };
        mtProfile.AfterScroll = [this](TMemTable& t) { mtProfileAfterScroll(t); };
        mtProfile.AfterPost = [this](TMemTable& t) { mtProfileAfterPost(t); };
    }
    {
        mtDepatment.AddField(IntegerField("Num", "№Сек."));
        TFieldDef status = IntegerField("Status", "Статус");
        status.DisplayWidth = 10;
        status.OnGetText = [](const TFieldValue& v) { return DepKindText(v); };
        status.OnSetText = [](const std::string& s) -> std::optional<TFieldValue> {
            if (auto k = DepKindFromText(s)) return TFieldValue(*k);
            return std::nullopt;
        };
        status.PickList = [] { return std::vector<std::string>{LangStr(47), LangStr(45), LangStr(46)}; };
        status.OnChange = [this](TMemTable& t) { mtDepatmentStatusChange(t); };
        mtDepatment.AddField(std::move(status));
        mtDepatment.AddField(StringField("Name", 22, "Наименование"));
        TFieldDef ng = StringField("NG", 1, "НГ");
        ng.PickList = TaxGroupLetters;
        mtDepatment.AddField(std::move(ng));
        TFieldDef price = TypedField("Price", TFieldType::Currency, "Огр.Цены");
        price.DisplayFormat = "#";
        mtDepatment.AddField(std::move(price));
        mtDepatment.AddField(StringField("LN", 20));
        mtDepatment.AfterInsert = setLN;
    }
    {
        mtOptions.AddField(IntegerField("num", "№"));
        mtOptions.AddField(IntegerField("Value", "Знач."));
        TFieldDef captions = StringField("Captions", 180, "Описание");
        captions.Calculated = true;
        mtOptions.AddField(std::move(captions));
        TFieldDef range = StringField("Diapazon", 12, "Интервал");
        range.Calculated = true;
        mtOptions.AddField(std::move(range));
        mtOptions.AddField(IntegerField("CanNul"));
        mtOptions.AddField(IntegerField("Min"));
        mtOptions.AddField(IntegerField("Max"));
        mtOptions.AddField(StringField("LN", 20));
        mtOptions.AfterInsert = setLN;
        mtOptions.AfterPost = [this](TMemTable& t) { mtOptionsAfterPost(t); };
        mtOptions.OnCalcFields = [this](TRecordRef r) { mtOptionsCalcFields(r); };
    }
    {
        mtTax.AddField(IntegerField("Num", "№"));
        mtTax.AddField(TypedField("isDefined", TFieldType::Boolean, "Опр."));
        mtTax.AddField(StringField("Name", 12, "Наименование"));
        TFieldDef type = StringField("Type", 12, "Вид налога");
        type.OnGetText = [](const TFieldValue& v) -> std::string {
            std::string s = v.AsString();
            if (s == "0") return "Начисляемый";
            if (s == "1") return "Выделяемый";
            if (s == "2") return {};
            return s;
        };
        mtTax.AddField(std::move(type));
        mtTax.AddField(TypedField("Percent", TFieldType::Float, "Ставка в %"));
        mtTax.AddField(StringField("LN", 30));
        mtTax.AfterInsert = setLN;
    }
    for (auto [table, label] : {std::pair{&mtTitle, "Заголовок чека"}, std::pair{&mtFooter, "Окончание чека"}}) {
        table->AddField(IntegerField("Num", "№"));
        table->AddField(StringField("Caption", 32, label));
        table->AddField(StringField("LN", 20));
        table->AfterInsert = setLN;
    }
    {
        mtCheckFont.AddField(StringField("TitleFont", 50));
        mtCheckFont.AddField(StringField("footerFont", 50));
        mtCheckFont.AddField(StringField("LN", 20));
        mtCheckFont.AfterInsert = setLN;
    }
    {
        mtTOBAP.AddField(IntegerField("Code", "Код"));
        TFieldDef type = IntegerField("Type", "Тип");
        ShowCodesAs(type, {{0, ""}, {170, "товар"}, {165, "услуга"}, {160, "тара"}});
        mtTOBAP.AddField(std::move(type));
        mtTOBAP.AddField(StringField("Name", 32, "Наименование"));
        TFieldDef ng = IntegerField("NG", "НГ");
        ShowCodesAs(ng, {{0, ""}, {1, "A"}, {2, "B"}, {3, "C"}, {4, "D"}, {5, "E"}});
        mtTOBAP.AddField(std::move(ng));
        mtTOBAP.AddField(TypedField("Price", TFieldType::Currency, "Цена"));
        mtTOBAP.AddField(IntegerField("Section", "Сек."));
        TFieldDef weight = IntegerField("Vesovoy", "Вес./Шт.");
        ShowCodesAs(weight, {{0, ""}, {1, "шт."}, {2, "вес."}});
        mtTOBAP.AddField(std::move(weight));
        mtTOBAP.AddField(StringField("Shtrih", 20, "Штрих-код"));
        TFieldDef block = TypedField("isBlock", TFieldType::Boolean, "Блок");
        block.Default = false;
        mtTOBAP.AddField(std::move(block));
        TFieldDef count = TypedField("Count", TFieldType::Currency, "Продано");
        count.DisplayFormat = "#0.000";
        mtTOBAP.AddField(std::move(count));
    }
}

std::vector<TMemTable*> TBD::WorkingTables() {
    return {&mtOptions, &mtDepatment, &mtCheckFont, &mtTax, &mtTitle, &mtFooter};
}

void TBD::DataModuleCreate() {
    for (TMemTable* t : {&mtProfile, &mtDepatment, &mtOptions, &mtTax, &mtTitle, &mtFooter, &mtCheckFont, &mtTOBAP})
        t->Close();
    HasSavedProfile = false;

    mtProfile.Open();
    mtProfile.Append();
    mtProfile.SetValue("Name", RegisterProfileName);
    mtProfile.SetValue("LN", RegisterProfileKey);
    mtProfile.Post();  // filters the working tables to "0"

    mtDepatment.Open();
    for (int i = 1; i <= 16; ++i) {
        mtDepatment.Append();
        mtDepatment.SetValue("LN", RegisterProfileKey);
        mtDepatment.SetValue("Num", i);
        mtDepatment.SetValue("Status", DepKindClosed);  // clears Name, NG and Price
        mtDepatment.Post();
    }
    mtDepatment.First();

    mtOptions.Open();
    for (int i = 1; i <= 32; ++i) {
        mtOptions.Append();
        mtOptions.SetValue("LN", RegisterProfileKey);
        mtOptions.SetValue("num", i);
        mtOptions.SetValue("Value", 0);
        mtOptions.SetValue("CanNul", 0);
        mtOptions.Post();
    }
    mtOptions.First();

    mtTax.Open();
    for (int i = 1; i <= 5; ++i) {
        mtTax.Append();
        mtTax.SetValue("Num", i);
        mtTax.SetValue("Type", "2");
        mtTax.Post();
    }
    for (TMemTable* t : {&mtTitle, &mtFooter}) {
        t->Open();
        for (int i = 1; i <= 6; ++i) {
            t->Append();
            t->SetValue("Num", i);
            t->Post();
        }
    }
    mtCheckFont.Open();  // its row comes with the first edit
    mtTOBAP.Open();

    KKMValues.fill(0);
    SavedValues.fill(0);
}

// True when every visible row of t is still as the start-up built it.
static bool OnlyStartUpRows(TMemTable& t, const std::function<bool(const TRecordRef&)>& startUp) {
    for (int i = 0; i < t.RecordCount(); ++i)
        if (!startUp(t.VisibleRecord(i))) return false;
    return true;
}

void TBD::ClearStartUpRows() {
    const auto empty = [](const TRecordRef& r, std::initializer_list<const char*> fields) {
        for (const char* f : fields)
            if (!r.IsNull(f) && !r.AsString(f).empty()) return false;
        return true;
    };
    if (OnlyStartUpRows(mtDepatment, [&](const TRecordRef& r) {
            return r.AsInteger("Status") == DepKindClosed && empty(r, {"Name", "NG", "Price"});
        }))
        ClearRows(mtDepatment);
    const auto blankLine = [&](const TRecordRef& r) { return empty(r, {"Caption"}); };
    if (mtCheckFont.IsEmpty() && OnlyStartUpRows(mtTitle, blankLine) && OnlyStartUpRows(mtFooter, blankLine))
        for (TMemTable* t : {&mtTitle, &mtFooter}) ClearRows(*t);
    if (OnlyStartUpRows(mtTax, [&](const TRecordRef& r) {
            return r.AsString("Type") == "2" && empty(r, {"Name", "isDefined", "Percent"});
        }))
        ClearRows(mtTax);
}

void TBD::FilterWorkingTables() {
    std::string key = mtProfile.AsString("LN");
    for (TMemTable* t : {&mtOptions, &mtDepatment, &mtCheckFont, &mtTax, &mtTitle, &mtFooter}) {
        t->SetFilter("LN", key);
        if (!t->Filtered()) t->SetFiltered(true);
    }
}

void TBD::ClearRows(TMemTable& t) {
    t.First();
    while (!t.IsEmpty())
        if (!t.Delete()) break;
}

int TBD::CountRows(TMemTable& t) {
    t.First();
    int n = 0;
    while (!t.Eof()) {
        ++n;
        t.Next();
    }
    return n;
}

std::uint8_t TBD::SnapshotValue(const std::array<std::uint8_t, SnapshotSize>& s, int n) {
    return n >= 1 && n <= SnapshotSize ? s[static_cast<std::size_t>(n - 1)] : 0;
}

// ---------------------------------------------------------------- row events

void TBD::mtDepatmentAfterInsert(TMemTable& t) { t.SetValue("LN", mtProfile.AsString("LN")); }

void TBD::mtDepatmentStatusChange(TMemTable& t) {
    if (t.IsNull("Status") || NormalDepKind(t.AsInteger("Status")) != DepKindClosed) return;
    t.SetValue("Name", "");
    t.SetValue("NG", "");
    t.SetNull("Price");
}

void TBD::mtOptionsAfterPost(TMemTable& t) {
    int n = t.AsInteger("num");
    if (n < 1 || n > SnapshotSize) return;
    auto v = static_cast<std::uint8_t>(t.AsInteger("Value") & 0xFF);
    std::string key = t.AsString("LN");
    if (key == RegisterProfileKey) KKMValues[static_cast<std::size_t>(n - 1)] = v;
    else if (!key.empty() && key[0] != '-') SavedValues[static_cast<std::size_t>(n - 1)] = v;
    // a row without a key belongs to no profile and changes neither snapshot
}

void TBD::mtOptionsCalcFields(TRecordRef row) { ::mtOptionsCalcFields(row, DeviceImage()); }

void TBD::mtProfileBeforeScroll(TMemTable&) {
    for (TMemTable* t : {&mtDepatment, &mtOptions, &mtTax, &mtTitle, &mtFooter, &mtCheckFont})
        if (t->State() == TDataSetState::Edit) t->Post();
}

void TBD::mtProfileAfterScroll(TMemTable&) {
    mtOptions.DisableControls();  // the options grid stays still meanwhile
    int p = mtOptions.CurrentRow() < 0 ? 0 : mtOptions.CurrentRow();
    FilterWorkingTables();
    if (mtOptions.IsEmpty() && LoadProfile) LoadProfile();
    mtOptions.First();
    mtOptions.MoveBy(p);
    mtOptions.EnableControls();
}

void TBD::mtProfileAfterPost(TMemTable&) { FilterWorkingTables(); }
