#include "profiles/ProfileActions.h"

#include "app/Dialog.h"
#include "kkm/RegisterSession.h"
#include "profiles/ProfileStore.h"
#include "settings/Unitbd.h"

bool TLoadedFlags::All() const {
    for (bool* f : {Options, Deps, Title, Tax})
        if (!f || !*f) return false;
    return true;
}

void TLoadedFlags::Clear() const {
    for (bool* f : {Options, Deps, Title, Tax})
        if (f) *f = false;
}

TProfileActions::TProfileActions(TRegisterSession& session, TBD& bd, TProfileStore& store, TLoadedFlags loaded)
    : Session(session), BD(bd), Store(store), Loaded(loaded) {}

void TProfileActions::AddAfterConnectStep() {
    Session.AfterConnectSteps.push_back([this] { LoadProfileList(); });
}

bool TProfileActions::SelectProfile(int n) {
    if (n == 1) {
        BD.mtProfile.First();
        return !BD.mtProfile.IsEmpty();
    }
    return BD.mtProfile.GoToRow(n - 1);
}

bool TProfileActions::LoadProfileList() {
    if (!Store.Open()) return false;
    TMemTable& list = BD.mtProfile;
    while (list.RecordCount() > 1) {
        list.Last();
        list.Delete();
    }
    // Rows are collected first: making a new entry current may read the store.
    std::vector<TStoredProfile> saved, templates;
    const std::string serial = Session.Labels.SN;
    // A register without a serial number has no saved profile (an empty SN
    // is what marks a template).
    if (!serial.empty() && !Store.Find({{"SN", serial}}, saved)) return false;
    const TKKMInfo* info = Session.Info();
    const std::string version = info ? info->Version : Session.Labels.Ver;
    if (!Store.Find({{"SN", ""}, {"TYPEKKM", version}}, templates)) return false;

    for (const TStoredProfile& p : saved) {
        list.Append();
        list.SetValue("Name", p.Name);
        list.SetValue("LN", p.LN);
        list.Post();
        BD.HasSavedProfile = true;
    }
    BD.SavedValues = BD.KKMValues;
    for (const TStoredProfile& p : templates) {
        list.Append();
        list.SetValue("Name", p.Name);
        list.SetValue("LN", "-" + p.LN);
        list.Post();
    }
    // Visiting entry 2 loads it when it has no rows yet. Its rows may be
    // cached already (loaded while the old entries were deleted, or since
    // the last connect), so SavedValues is renewed from them here.
    SelectProfile(1);
    if (SelectProfile(2)) RenewSavedValues();
    SelectProfile(1);
    return true;
}

void TProfileActions::RenewSavedValues() {
    const std::string key = BD.mtProfile.AsString("LN");
    if (key.empty() || key[0] == '-' || key == RegisterProfileKey) return;
    TMemTable& t = BD.mtOptions;
    for (int i = 0; i < t.RecordCount(); ++i) {
        const TRecordRef r = t.VisibleRecord(i);
        const int n = r.AsInteger("num");
        if (n >= 1 && n <= SnapshotSize)
            BD.SavedValues[static_cast<std::size_t>(n - 1)] = static_cast<std::uint8_t>(r.AsInteger("Value") & 0xFF);
    }
}

bool TProfileActions::bSavePropKKMtoBDClick() {
    if (!Session.EnsureConnected()) return false;
    const TKKMInfo* info = Session.Info();
    if (!info) return false;
    const bool registerProfile = BD.mtProfile.RecNo() == 1;
    if (Store.SaveProfile(SavedProfileName, info->SerialNumber, info->Version).empty()) return false;
    LoadProfileList();
    Mess("Настройки ККМ № " + info->SerialNumber + " сохранены в профиль \"" + SavedProfileName + "\"", false, true,
         true);
    // Entry 2 is now loaded afresh from the store.
    SelectProfile(1);
    if (SelectProfile(2)) TBD::ClearRows(BD.mtOptions);
    SelectProfile(1);
    SelectProfile(2);
    if (registerProfile) Loaded.Clear();
    return true;
}

bool TProfileActions::bSavePropKKMtoBDasShablonClick() {
    const TKKMInfo* info = Session.Info();
    if (!info) {
        // A template belongs to a firmware version, which only a register tells.
        Error("Шаблон не записан: ни одна ККМ ещё не подключена, версия прошивки для шаблона неизвестна. "
              "Подключитесь к ККМ и повторите",
              true, true, true);
        return false;
    }
    const std::string key = BD.mtProfile.AsString("LN");
    const std::string proposed = !key.empty() && key[0] == '-' ? BD.mtProfile.AsString("Name") : std::string();
    std::optional<std::string> answer;
    if (InputQuery) answer = InputQuery(TemplateBoxCaption, TemplateBoxPrompt, proposed);
    if (!answer) return false;  // cancelled: nothing is stored
    std::string name = *answer;
    while (!name.empty() && name.back() == ' ') name.pop_back();  // a table keeps no trailing blanks
    if (name.empty()) return false;
    const int position = BD.mtProfile.RecNo();
    if (Store.SaveProfile(name, "", info->Version).empty()) return false;
    LoadProfileList();
    Mess("Шаблон записан: \"" + name + "\", версия " + info->Version, false, true, true);
    SelectProfile(1);
    SelectProfile(position);
    return true;
}

bool TProfileActions::bDelPropKKMtoBDClick() {
    TMemTable& list = BD.mtProfile;
    if (list.RecNo() <= 1) return false;
    const std::string key = list.AsString("LN");
    // The register's saved profile goes: its rows no longer mark differences.
    if (list.AsString("Name") == SavedProfileName && !key.empty() && key[0] != '-') BD.SavedValues = BD.KKMValues;
    const bool ok = Store.DeleteProfile();
    if (Repaint) Repaint();
    return ok;
}

bool TProfileActions::FormCloseQuery() {
    if (!Loaded.All()) return true;
    switch (QueryYesNoCancel(ExitQuestion, true, true, mrYes)) {
    case mrYes:
        SelectProfile(1);
        if (bSavePropKKMtoBDClick()) return true;
        // What was read stays in the window: the user may try again or leave with No.
        Error("Настройки не сохранены: ничего не записано в БД. Программа не закрыта; чтобы выйти без "
              "сохранения, закройте её снова и ответьте \"Нет\"",
              true, true, true);
        return false;
    case mrNo:
        return true;
    default:
        return false;
    }
}
