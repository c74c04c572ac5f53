#include "profiles/ProfileStore.h"

#include "app/Dialog.h"
#include "app/TextCodec.h"
#include "app/U_filedirwork.h"
#include "kkm/U_kkms.h"
#include "profiles/ProfileTexts.h"
#include "settings/Unitbd.h"

#include <algorithm>
#include <set>

namespace {

using F = TDbfFieldDef;

const std::vector<TDbfFieldDef> kProfileFields = {F::Text("NAME", 30), F::Text("SN", 30), F::Text("TYPEKKM", 20),
                                                  F::Text("LN", 20)};
const std::vector<TDbfFieldDef> kOptionsFields = {F::Integer("NUM"), F::Integer("VAL"), F::Text("OLN", 20)};
const std::vector<TDbfFieldDef> kCheckFontFields = {F::Integer("TITLEFONT"), F::Integer("FOOTERFONT"),
                                                    F::Text("OLN", 20)};
const std::vector<TDbfFieldDef> kCheckFields = {F::Integer("LINE"), F::Text("NAME", 32), F::Text("OLN", 20)};
const std::vector<TDbfFieldDef> kTaxFields = {F::Boolean("ISDEFINED"), F::Text("NAME", 12), F::Text("TYPE", 12),
                                              F::Text("PERCENT", 10),  F::Text("OLN", 20),  F::Integer("NUM")};
const std::vector<TDbfFieldDef> kDeptFields = {F::Text("OLN", 20), F::Integer("SEC"),  F::Integer("STATUS"),
                                               F::Text("NAME", 22), F::Integer("NG"), F::Text("PRICE", 30)};

constexpr int kHeaderLines = 6;
constexpr int kAllLines = 12;

std::string WithoutDash(const std::string& key) { return !key.empty() && key[0] == '-' ? key.substr(1) : key; }

// Posts a row being edited or inserted, so that what the user typed is what
// gets stored.
void EndEdit(TMemTable& t) {
    if (t.State() == TDataSetState::Edit || t.State() == TDataSetState::Insert) t.Post();
}

// The font number of a caption: its first character as a digit, 0 when the
// caption is empty or starts otherwise.
int FontNumber(const std::string& caption) {
    return !caption.empty() && caption[0] >= '0' && caption[0] <= '9' ? caption[0] - '0' : 0;
}

std::string FontCaption(const TKKMInfo* info, long long n) {
    if (info) return info->GetFontName(static_cast<int>(n));
    return n >= 0 && n < KKMFontNameCount ? FontNames[static_cast<std::size_t>(n)] : std::string();
}

// Writes a profile's rows over its stored rows in order: row i replaces the
// i-th stored row, rows beyond them are appended, and the stored rows left
// over are marked deleted, so the store keeps exactly the rows written.
class TRowWriter {
public:
    explicit TRowWriter(TDbfTable& t) : t_(t) {}

    // Makes the record for the next row current.
    bool Next() {
        if (!started_) {
            started_ = true;
            if (!t_.First()) return false;
        } else if (!appending_ && !t_.Next()) {
            return false;
        }
        if (appending_ || t_.Eof()) {
            appending_ = true;
            return t_.Append();
        }
        return true;
    }

    bool Finish() {
        if (!started_) {
            if (!t_.First()) return false;
        } else if (!t_.Post() || (!appending_ && !t_.Next())) {
            return false;
        }
        if (appending_) return true;
        while (!t_.Eof())
            if (!t_.Delete()) return false;
        return true;
    }

private:
    TDbfTable& t_;
    bool started_ = false;
    bool appending_ = false;
};

}  // namespace

TProfileStore::TProfileStore(TBD& bd) : BD(bd), DecimalSeparator(LocaleDecimalSeparator()) {
    BD.LoadProfile = [this] { return LoadProfile(); };
}

TProfileStore::~TProfileStore() {
    BD.LoadProfile = nullptr;
    Close();
}

std::string TProfileStore::Folder() const { return Dir.empty() ? JoinPath(CurrentDir(), StoreFolderName) : Dir; }

bool TProfileStore::Failed(const TDbfTable& t, const char* what) {
    Error(std::string(what) + ": " + t.LastError(), true, true, true);
    return false;
}

bool TProfileStore::Open() {
    const std::string dir = Folder();
    ForceDir(dir);  // a failure shows as the first table that cannot be made
    const struct {
        TDbfTable& Table;
        const char* File;
        const std::vector<TDbfFieldDef>& Fields;
    } tables[] = {{Options, "options.dbf", kOptionsFields}, {Dep, "Dept.dbf", kDeptFields},
                  {CheckFont, "checkFont.dbf", kCheckFontFields}, {Check, "check.dbf", kCheckFields},
                  {Tax, "Tax.dbf", kTaxFields}, {Profile, "Profile.dbf", kProfileFields}};
    for (const auto& t : tables) {
        if (t.Table.IsOpen()) continue;
        // A read-only table stays open: stored profiles still load; the
        // writing operations refuse it (EnsureWritable).
        if (!t.Table.Open(JoinPath(dir, t.File), t.Fields)) return Failed(t.Table, "Не удалось открыть базу профилей");
    }
    return true;
}

bool TProfileStore::EnsureWritable() {
    if (!EnsureOpen()) return false;
    for (const TDbfTable* t : {&Profile, &Options, &Dep, &Tax, &Check, &CheckFont})
        if (t->IsReadOnly()) {
            Error("База профилей только для чтения: " + t->FileName(), true, true, true);
            return false;
        }
    return true;
}

bool TProfileStore::IsOpen() const {
    return Profile.IsOpen() && Options.IsOpen() && Dep.IsOpen() && Tax.IsOpen() && Check.IsOpen() &&
           CheckFont.IsOpen();
}

void TProfileStore::Close() {
    for (TDbfTable* t : {&Profile, &Options, &Dep, &Tax, &Check, &CheckFont})
        if (t->IsOpen() && !t->Close()) Failed(*t, "Не удалось записать базу профилей");
}

// ------------------------------------------------------------------ look-up

bool TProfileStore::FilterStore(const std::string& name, const std::string& workingKey) {
    filteredKey_ = "-1";
    if (!EnsureOpen()) return false;
    if (!Profile.SetFilter({{"NAME", name}, {"LN", WithoutDash(workingKey)}}))
        return Failed(Profile, "Не удалось прочитать базу профилей");
    if (!Profile.Eof() && !Profile.GetText("LN").empty()) {
        // The stored key as a whole number, as the detail rows carry it.
        long long k = 0;
        filteredKey_ = DbfParseInteger(Profile.GetText("LN"), k) ? std::to_string(k) : Profile.GetText("LN");
    }
    for (TDbfTable* t : {&Options, &Dep, &CheckFont, &Check, &Tax})
        if (!t->SetFilter({{"OLN", filteredKey_}})) return Failed(*t, "Не удалось прочитать базу профилей");
    return true;
}

bool TProfileStore::Find(const std::vector<TDbfCondition>& conditions, std::vector<TStoredProfile>& out) {
    out.clear();
    if (!EnsureOpen()) return false;
    if (!Profile.SetFilter(conditions)) return Failed(Profile, "Не удалось прочитать базу профилей");
    for (; !Profile.Eof();) {
        out.push_back({Profile.GetText("NAME"), Profile.GetText("SN"), Profile.GetText("TYPEKKM"),
                       Profile.GetText("LN")});
        if (!Profile.Next()) return Failed(Profile, "Не удалось прочитать базу профилей");
    }
    return true;
}

// A key from the clock; when a profile (or rows left by one) already has it,
// the next free number, so two profiles made in one second never share rows.
std::string TProfileStore::NewKey() {
    std::set<long long> used;
    auto collect = [&used](TDbfTable& t, const char* field) {
        if (!t.SetFilter({})) return false;
        for (; !t.Eof();) {
            if (auto v = t.GetInteger(field)) used.insert(*v);
            if (!t.Next()) return false;
        }
        return true;
    };
    collect(Profile, "LN");
    for (TDbfTable* t : {&Options, &Dep, &CheckFont, &Check, &Tax}) collect(*t, "OLN");
    long long key = StoredKeyNow();
    while (used.count(key)) ++key;
    return std::to_string(key);
}

// ------------------------------------------------------------------- saving

std::string TProfileStore::SaveProfile(const std::string& name, const std::string& sn, const std::string& version) {
    // "Сохраненная" names the saved profiles of registers, never a template.
    if (sn.empty() && name == SavedProfileName) {
        Error(std::string("Шаблон не записан: имя \"") + SavedProfileName +
                  "\" занято сохранёнными настройками ККМ, выберите другое имя",
              true, true, true);
        return {};
    }
    if (!EnsureWritable()) return {};
    for (TMemTable* t : BD.WorkingTables()) EndEdit(*t);

    // A saved profile is found by its name and serial number, a template by
    // its name and firmware version: a template of another version with the
    // same name stays as it is.
    std::vector<TDbfCondition> match = {{"NAME", name}};
    if (!sn.empty())
        match.push_back({"SN", sn});
    else
        match.insert(match.end(), {{"SN", ""}, {"TYPEKKM", version}});
    if (!Profile.SetFilter(match)) {
        Failed(Profile, "Не удалось прочитать базу профилей");
        return {};
    }
    std::string key;
    const bool isNew = Profile.Eof();
    if (isNew) {
        // A new profile's master row is written last, so a save that fails on
        // a detail table leaves no profile listed without its rows (rows
        // without a master row are never loaded, and NewKey skips their key).
        key = NewKey();
        filteredKey_ = key;
        for (TDbfTable* t : {&Options, &Dep, &CheckFont, &Check, &Tax})
            if (!t->SetFilter({{"OLN", key}})) {
                Failed(*t, "Не удалось прочитать базу профилей");
                return {};
            }
    } else {
        // The row itself stays as it is.
        if (!FilterStore(name, Profile.GetText("LN"))) return {};
        key = filteredKey_;
        if (key == "-1") {
            Error("Не удалось записать профиль: строка профиля \"" + name + "\" без ключа в " + Profile.FileName(),
                  true, true, true);
            return {};
        }
    }
    if (!SaveOptions(key) || !SaveDepartments(key) || !SaveTaxes(key) || !SaveLines(key) || !SaveFonts(key))
        return {};
    if (isNew && (!Profile.Append() || !Profile.SetText("LN", key) || !Profile.SetText("NAME", name) ||
                  !Profile.SetText("SN", sn) || !Profile.SetText("TYPEKKM", version) || !Profile.Post())) {
        Failed(Profile, "Не удалось записать профиль");
        Profile.Cancel();
        return {};
    }

    // Rows of this profile cached under another list entry are stale now.
    const std::string current = BD.mtProfile.AsString("LN");
    for (const std::string& k : {key, "-" + key})
        if (k != current) ForgetWorkingRows(k);
    return key;
}

// A group without working rows was never loaded into the working tables
// (a register change clears the register profile's groups): its stored rows
// stay as they are.
bool TProfileStore::SaveOptions(const std::string& key) {
    TMemTable& w = BD.mtOptions;
    if (w.IsEmpty()) return true;
    TRowWriter out(Options);
    for (int i = 0; i < w.RecordCount(); ++i) {
        const TRecordRef r = w.VisibleRecord(i);
        if (!out.Next()) return Failed(Options, "Не удалось записать профиль");
        Options.SetInteger("NUM", r.AsInteger("num"));
        Options.SetInteger("VAL", r.AsInteger("Value"));
        Options.SetText("OLN", key);
    }
    return out.Finish() || Failed(Options, "Не удалось записать профиль");
}

bool TProfileStore::SaveDepartments(const std::string& key) {
    TMemTable& w = BD.mtDepatment;
    if (w.IsEmpty()) return true;
    TRowWriter out(Dep);
    for (int i = 0; i < w.RecordCount(); ++i) {
        const TRecordRef r = w.VisibleRecord(i);
        if (!out.Next()) return Failed(Dep, "Не удалось записать профиль");
        Dep.SetText("OLN", key);
        Dep.SetInteger("SEC", r.AsInteger("Num"));
        Dep.SetInteger("STATUS", r.IsNull("Status") ? StoredDepClosed : NormalDepKind(r.AsInteger("Status")));
        Dep.SetText("NAME", r.AsString("Name"));
        const std::string ng = Utf8ToCp1251(Utf8Left(r.AsString("NG"), 1));
        Dep.SetInteger("NG", ng.empty() ? StoredNoTaxGroup : static_cast<unsigned char>(ng[0]));
        Dep.SetText("PRICE", r.IsNull("Price") ? std::string() : CurrencyText(r.AsCurrency("Price"), DecimalSeparator));
    }
    return out.Finish() || Failed(Dep, "Не удалось записать профиль");
}

bool TProfileStore::SaveTaxes(const std::string& key) {
    TMemTable& w = BD.mtTax;
    if (w.IsEmpty()) return true;
    TRowWriter out(Tax);
    for (int i = 0; i < w.RecordCount(); ++i) {
        const TRecordRef r = w.VisibleRecord(i);
        if (!out.Next()) return Failed(Tax, "Не удалось записать профиль");
        Tax.SetText("OLN", key);
        Tax.SetInteger("NUM", r.AsInteger("Num"));
        if (r.IsNull("isDefined"))
            Tax.SetNull("ISDEFINED");
        else
            Tax.SetBool("ISDEFINED", r.AsBoolean("isDefined"));
        Tax.SetText("NAME", r.AsString("Name"));
        // The type is a whole number; an empty type stays empty.
        Tax.SetText("TYPE", r.AsString("Type").empty() ? std::string() : std::to_string(r.AsInteger("Type")));
        Tax.SetText("PERCENT", r.IsNull("Percent") ? std::string() : GeneralNumberText(r.AsFloat("Percent"), DecimalSeparator));
    }
    return out.Finish() || Failed(Tax, "Не удалось записать профиль");
}

bool TProfileStore::SaveLines(const std::string& key) {
    if (BD.mtTitle.IsEmpty() && BD.mtFooter.IsEmpty()) return true;
    TRowWriter out(Check);
    const int headers = BD.mtTitle.RecordCount();
    for (auto [table, offset] : {std::pair{&BD.mtTitle, 0}, std::pair{&BD.mtFooter, headers}}) {
        for (int i = 0; i < table->RecordCount(); ++i) {
            const TRecordRef r = table->VisibleRecord(i);
            if (!out.Next()) return Failed(Check, "Не удалось записать профиль");
            Check.SetInteger("LINE", r.AsInteger("Num") + offset);
            Check.SetText("NAME", r.AsString("Caption"));
            Check.SetText("OLN", key);
        }
    }
    return out.Finish() || Failed(Check, "Не удалось записать профиль");
}

bool TProfileStore::SaveFonts(const std::string& key) {
    // One font row per profile, from the current font row of the profile.
    TMemTable& w = BD.mtCheckFont;
    if (w.IsEmpty() && BD.mtTitle.IsEmpty() && BD.mtFooter.IsEmpty()) return true;
    TRowWriter out(CheckFont);
    if (!out.Next()) return Failed(CheckFont, "Не удалось записать профиль");
    CheckFont.SetInteger("TITLEFONT", w.IsEmpty() ? 0 : FontNumber(w.AsString("TitleFont")));
    CheckFont.SetInteger("FOOTERFONT", w.IsEmpty() ? 0 : FontNumber(w.AsString("footerFont")));
    CheckFont.SetText("OLN", key);
    return out.Finish() || Failed(CheckFont, "Не удалось записать профиль");
}

// ------------------------------------------------------------------ loading

bool TProfileStore::LoadProfile() {
    TMemTable& p = BD.mtProfile;
    const std::string name = p.AsString("Name");
    const std::string key = p.AsString("LN");
    if (name.empty() || p.RecNo() <= 1 || key == RegisterProfileKey) return false;
    if (!FilterStore(name, key)) return false;
    const TKKMInfo* info = BD.DeviceImage();
    return LoadOptions(info) && LoadDepartments() && LoadTaxes() && LoadLines() && LoadFonts(info);
}

bool TProfileStore::LoadOptions(const TKKMInfo* info) {
    TMemTable& w = BD.mtOptions;
    TBD::ClearRows(w);
    for (; !Options.Eof();) {
        const long long n = Options.GetInteger("NUM").value_or(0);
        w.Append();
        w.SetValue("num", n);
        w.SetValue("Value", Options.GetInteger("VAL").value_or(0));
        if (n >= 1 && n <= KKMOptionCount) {
            const auto i = static_cast<std::size_t>(n - 1);
            if (info) {
                const auto [min, max] = info->GetOptionRange(static_cast<int>(n));
                w.SetValue("Min", min);
                w.SetValue("Max", max);
                w.SetValue("CanNul", info->Options[i].LeadingZero ? 1 : 0);
            } else {
                w.SetValue("Min", DefaultOptions[i].Min);
                w.SetValue("Max", DefaultOptions[i].Max);
                w.SetValue("CanNul", DefaultOptions[i].LeadingZero ? 1 : 0);
            }
        }
        w.Post();
        if (!Options.Next()) return Failed(Options, "Не удалось прочитать профиль");
    }
    return true;
}

bool TProfileStore::LoadDepartments() {
    TMemTable& w = BD.mtDepatment;
    TBD::ClearRows(w);
    for (; !Dep.Eof();) {
        w.Append();
        w.SetValue("Num", Dep.GetInteger("SEC").value_or(0));
        w.SetValue("Status", NormalDepKind(static_cast<std::int32_t>(Dep.GetInteger("STATUS").value_or(StoredDepClosed))));
        w.SetValue("Name", Dep.GetText("NAME"));
        const long long ng = Dep.GetInteger("NG").value_or(StoredNoTaxGroup);
        w.SetValue("NG", ng > StoredNoTaxGroup && ng <= 255 ? Cp1251ToUtf8(std::string(1, static_cast<char>(ng))) : "");
        const std::string price = Dep.GetText("PRICE");
        if (auto v = ParseStoredNumber(price))
            w.SetValue("Price", TCurrency::FromDouble(*v));
        else if (!price.empty())
            Warning("Цена отдела " + std::to_string(Dep.GetInteger("SEC").value_or(0)) + " в " + Dep.FileName() +
                        " не число: \"" + price + "\"",
                    false, true, true);
        w.Post();
        if (!Dep.Next()) return Failed(Dep, "Не удалось прочитать профиль");
    }
    return true;
}

bool TProfileStore::LoadTaxes() {
    TMemTable& w = BD.mtTax;
    TBD::ClearRows(w);
    for (; !Tax.Eof();) {
        w.Append();
        w.SetValue("Num", Tax.GetInteger("NUM").value_or(0));
        if (auto d = Tax.GetBool("ISDEFINED")) w.SetValue("isDefined", *d);
        w.SetValue("Name", Tax.GetText("NAME"));
        w.SetValue("Type", Tax.GetText("TYPE"));
        if (auto v = ParseStoredNumber(Tax.GetText("PERCENT"))) w.SetValue("Percent", *v);
        w.Post();
        if (!Tax.Next()) return Failed(Tax, "Не удалось прочитать профиль");
    }
    return true;
}

bool TProfileStore::LoadLines() {
    // The first six stored lines are the header, the next six the footer.
    TBD::ClearRows(BD.mtTitle);
    int taken = 0;
    for (; !Check.Eof() && taken < kHeaderLines; ++taken) {
        BD.mtTitle.Append();
        BD.mtTitle.SetValue("Num", Check.GetInteger("LINE").value_or(0));
        BD.mtTitle.SetValue("Caption", Check.GetText("NAME"));
        BD.mtTitle.Post();
        if (!Check.Next()) return Failed(Check, "Не удалось прочитать профиль");
    }
    TBD::ClearRows(BD.mtFooter);
    for (; !Check.Eof() && taken < kAllLines; ++taken) {
        BD.mtFooter.Append();
        BD.mtFooter.SetValue("Num", Check.GetInteger("LINE").value_or(0) - kHeaderLines);
        BD.mtFooter.SetValue("Caption", Check.GetText("NAME"));
        BD.mtFooter.Post();
        if (!Check.Next()) return Failed(Check, "Не удалось прочитать профиль");
    }
    BD.mtTitle.First();
    BD.mtFooter.First();
    return true;
}

bool TProfileStore::LoadFonts(const TKKMInfo* info) {
    TMemTable& w = BD.mtCheckFont;
    TBD::ClearRows(w);
    long long title = 0, footer = 0;
    if (!CheckFont.Eof()) {
        title = CheckFont.GetInteger("TITLEFONT").value_or(0);
        footer = CheckFont.GetInteger("FOOTERFONT").value_or(0);
    }
    w.Append();
    w.SetValue("TitleFont", FontCaption(info, title));
    w.SetValue("footerFont", FontCaption(info, footer));
    w.Post();
    return true;
}

// ----------------------------------------------------------------- deleting

bool TProfileStore::DeleteVisible(TDbfTable& t) {
    if (!t.First()) return Failed(t, "Не удалось удалить профиль");
    while (!t.Eof())
        if (!t.Delete()) return Failed(t, "Не удалось удалить профиль");
    return true;
}

bool TProfileStore::DeleteStored(const std::string& key) {
    if (!EnsureWritable()) return false;
    for (TDbfTable* t : {&Tax, &Check, &CheckFont, &Options, &Dep})
        if (!t->SetFilter({{"OLN", key}})) return Failed(*t, "Не удалось прочитать базу профилей");
    if (!Profile.SetFilter({{"LN", key}})) return Failed(Profile, "Не удалось прочитать базу профилей");
    for (TDbfTable* t : {&Tax, &Check, &CheckFont, &Options, &Dep, &Profile})
        if (!DeleteVisible(*t)) return false;
    return true;
}

bool TProfileStore::DeleteProfile() {
    TMemTable& p = BD.mtProfile;
    if (p.IsEmpty() || p.RecNo() <= 1 || p.AsString("LN") == RegisterProfileKey) return false;
    if (!FilterStore(p.AsString("Name"), p.AsString("LN"))) return false;
    if (filteredKey_ != "-1" && !DeleteStored(filteredKey_)) return false;
    for (TMemTable* t : {&BD.mtDepatment, &BD.mtOptions, &BD.mtTax, &BD.mtTitle, &BD.mtFooter, &BD.mtCheckFont})
        TBD::ClearRows(*t);
    p.Delete();
    BD.FilterWorkingTables();
    return true;
}

void TProfileStore::ForgetWorkingRows(const std::string& workingKey) {
    if (workingKey == BD.mtProfile.AsString("LN")) return;
    TMemTable& options = BD.mtOptions;
    options.DisableControls();  // the option views see the same rows afterwards
    const int p = std::max(options.CurrentRow(), 0);
    for (TMemTable* t : BD.WorkingTables()) {
        t->SetFilter("LN", workingKey);
        if (!t->Filtered()) t->SetFiltered(true);
        TBD::ClearRows(*t);
    }
    BD.FilterWorkingTables();
    options.First();
    options.MoveBy(p);
    options.EnableControls();
}
