#include "settings/SettingsActions.h"

#include "app/Dialog.h"
#include "app/ProgressWait.h"
#include "kkm/RegisterSession.h"
#include "settings/OptionCatalogue.h"
#include "settings/Unitbd.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Puts the cursor on the row that holds item n (1-based) of the current
// profile, ready to be changed: the row is edited, or appended when the
// profile has fewer rows (so a short profile grows instead of having its
// last row overwritten again and again).
void EditItemRow(TMemTable& t, int n) {
    if (n <= t.RecordCount()) {
        t.GoToRow(n - 1);
        t.Edit();
    } else {
        t.Append();
    }
}

std::int32_t DepKindOf(const TDepRec& d) { return NormalDepKind(d.Kind); }

void SetDepKind(TDepRec& d, std::int32_t kind) {
    d.Kind = static_cast<std::uint8_t>(NormalDepKind(kind));
    d.Status = DepKindText(TFieldValue(d.Kind));
}

}  // namespace

TSettingsActions::TSettingsActions(TRegisterSession& session, TBD& bd) : Session(session), BD(bd) {
    FillFontLists();
}

void TSettingsActions::AddAfterConnectStep() {
    Session.AfterConnectSteps.insert(Session.AfterConnectSteps.begin(), [self = std::weak_ptr(self_)] {
        if (auto alive = self.lock()) {
            (*alive)->ForgetOtherRegister();
            (*alive)->FillOptionRows();
        }
    });
}

void TSettingsActions::FillFontLists() {
    FontList.assign(FontNames.begin(), FontNames.end());
    if (OnFontListChanged) OnFontListChanged();
}

int TSettingsActions::FontNumberOf(const std::string& caption) {
    if (caption.empty() || caption[0] < '0' || caption[0] > '9') return 0;
    return caption[0] - '0';
}

bool TSettingsActions::StartOperation(int waitMs) {
    ShowWait(waitMs, "");
    // A connected register always has its image (the connect read it).
    return Session.EnsureConnected() && Session.Info() != nullptr;
}

void TSettingsActions::MakeRegisterProfileCurrent() { BD.mtProfile.First(); }

void TSettingsActions::ForgetOtherRegister() {
    TKKMInfo* info = Session.Info();
    if (!info) return;
    const std::string previous = std::exchange(rowsSerial_, info->SerialNumber);
    if (previous.empty()) {
        // The first register since start-up: rows still as the start-up built
        // them stand for nothing read, and a save would store them over the
        // register's saved departments, lines and taxes. Rows the user typed
        // stay.
        MakeRegisterProfileCurrent();
        BD.ClearStartUpRows();
        return;
    }
    if (previous == info->SerialNumber) return;
    // What was read belongs to the register it came from: nothing of it may be
    // stored or written as this register's.
    OptionsLoaded = DepsLoaded = TitleLoaded = TaxLoaded = false;
    MakeRegisterProfileCurrent();
    for (TMemTable* t : {&BD.mtDepatment, &BD.mtTitle, &BD.mtFooter, &BD.mtCheckFont, &BD.mtTax}) TBD::ClearRows(*t);
    // A tax read leaves the name of an undefined tax as the image holds it.
    for (TTaxRec& tax : info->Taxes) tax = TTaxRec{};
}

// ------------------------------------------------------------------ options

bool TSettingsActions::bLoadOptionsClick() {
    if (!StartOperation(WaitLoadOptionsMs) || !LoadOptionsTable()) {
        HideWait();
        return false;
    }
    Mess("Опции загружены", false, true, true);
    HideWait();
    return true;
}

bool TSettingsActions::LoadOptionsTable() {
    if (!Session.Protocol.GetOptions()) {
        Error("не удалось получить опции", true, true, true);
        return false;
    }
    FillOptionRows();
    return true;
}

void TSettingsActions::FillOptionRows() {
    const TKKMInfo* info = Session.Info();
    if (!info) return;  // nothing read yet: the rows stay as they are
    MakeRegisterProfileCurrent();
    TMemTable& t = BD.mtOptions;
    t.DisableControls();
    TBD::ClearRows(t);  // the register profile's rows only: other profiles keep theirs
    for (int i = 1; i <= info->GetOptionCount(); ++i) {
        t.Append();
        t.SetValue("num", i);
        const auto [min, max] = info->GetOptionRange(i);
        t.SetValue("Min", min);
        t.SetValue("Max", max);
        t.SetValue("CanNul", info->Options[i - 1].LeadingZero ? 1 : 0);
        t.SetValue("Value", info->OptionValues[i - 1]);
        t.Post();
    }
    t.First();
    t.EnableControls();
    OptionsLoaded = true;
}

bool TSettingsActions::bSaveOptionsClick() {
    if (!StartOperation(WaitSaveOptionsMs)) return false;
    TKKMInfo* info = Session.Info();
    TMemTable& t = BD.mtOptions;
    // Row i is option i. An option the current profile has no row for keeps
    // the value the register reported at the last read.
    const int count = std::min<int>(info->GetOptionCount(), t.RecordCount());
    for (int i = 1; i <= count; ++i) {
        t.GoToRow(i - 1);
        if (OptionOutOfRange(t.CurrentRecord())) Error("опция вне интервала!", false, true, true);
        info->OptionValues[i - 1] = static_cast<std::uint8_t>(t.AsInteger("Value") & 0xFF);
    }
    const bool ok = Session.Protocol.SetOptions();
    if (ok)
        Mess("опции записаны", false, true, true);
    else
        Mess("опции не записались", true, true, true);
    HideWait();
    return ok;
}

void TSettingsActions::bSetDefaultOptionsClick() { SetDefaultOptions(BD); }

// -------------------------------------------------------------- departments

bool TSettingsActions::bDepLoadFromKKMClick() {
    if (!StartOperation(WaitLoadDepsMs)) return false;
    MakeRegisterProfileCurrent();
    Mess("Загружаем отделы...", false, true, true);
    const TKKMInfo* info = Session.Info();
    const int n = info->GetMaxCountDepat();
    for (int i = 1; i <= n; ++i)
        if (!Session.Protocol.GetDepatment(i)) {
            Error("не удалось получить информацию о отделах", true, true, true);
            return false;
        }
    TMemTable& t = BD.mtDepatment;
    t.DisableControls();
    TBD::ClearRows(t);  // the register profile's rows only: other profiles keep theirs
    if (TFieldDef* price = t.FindField("Price")) price->DisplayFormat = "#0.00";
    for (int j = 1; j <= n; ++j) {
        const TDepRec& d = info->Deps[j - 1];
        t.Append();
        t.SetValue("LN", RegisterProfileKey);
        t.SetValue("Num", j);
        t.SetValue("Status", DepKindOf(d));
        t.SetValue("Name", d.Name);
        t.SetValue("NG", d.NG);
        t.SetValue("Price", TCurrency::FromDouble(d.Price));
        t.Post();
    }
    t.First();
    t.EnableControls();
    Mess("Отделы загружены", false, true, true);
    HideWait();
    DepsLoaded = true;
    return true;
}

bool TSettingsActions::bSaveDepToKKMClick() {
    if (!StartOperation(WaitSaveDepsMs)) return false;
    TKKMInfo* info = Session.Info();
    TMemTable& t = BD.mtDepatment;
    const int n = info->GetMaxCountDepat();
    // Row i is department i; a department the current profile has no row
    // for is left as it is on the register.
    const int count = std::min(n, t.RecordCount());
    for (int i = 1; i <= count; ++i) {
        t.GoToRow(i - 1);
        TDepRec& d = info->Deps[i - 1];
        SetDepKind(d, t.IsNull("Status") ? DepKindClosed : t.AsInteger("Status"));
        d.Name = t.AsString("Name");
        d.NG = t.AsString("NG");
        d.Price = t.AsCurrency("Price").ToDouble();
    }
    for (int j = 1; j <= count; ++j)
        if (!Session.Protocol.SetDepatment(j)) {
            Error("не удалось записать информацию о отделах", true, true, true);
            return false;
        }
    std::string text = "Записаны отделы: " + std::to_string(count);
    if (count < n) text += " из " + std::to_string(n) + " (для остальных в профиле нет строк)";
    Mess(text, false, true, true);
    HideWait();
    return true;
}

// ---------------------------------------------------------- header, footer

bool TSettingsActions::bLoadTitleClick() {
    if (!StartOperation(WaitLoadTitleMs)) return false;
    MakeRegisterProfileCurrent();
    const TKKMInfo* info = Session.Info();
    for (int i = 1; i <= KKMLineCount; ++i)
        if (!Session.Protocol.GetTitle(i)) {
            Error("не удалось получить информацию о заголовках", true, true, true);
            return false;
        }
    for (int j = 1; j <= KKMLineCount; ++j) {
        EditItemRow(BD.mtTitle, j);
        BD.mtTitle.SetValue("Num", j);
        BD.mtTitle.SetValue("Caption", info->Title[j - 1]);
        BD.mtTitle.Post();
    }
    BD.mtTitle.First();
    for (int k = 1; k <= KKMLineCount; ++k)
        if (!Session.Protocol.GetFooter(k)) {
            Error("не удалось получить информацию об окончании чека", true, true, true);
            return false;
        }
    for (int l = 1; l <= KKMLineCount; ++l) {
        EditItemRow(BD.mtFooter, l);
        BD.mtFooter.SetValue("Num", l);
        BD.mtFooter.SetValue("Caption", info->Footer[l - 1]);
        BD.mtFooter.Post();
    }
    BD.mtFooter.First();
    FontList.clear();
    for (int m = 0; m < info->GetFontCount(); ++m) {
        std::string caption = info->GetFontName(m);
        if (!caption.empty()) FontList.push_back(std::move(caption));  // beyond the built-in captions
    }
    if (OnFontListChanged) OnFontListChanged();
    TMemTable& fonts = BD.mtCheckFont;
    fonts.First();
    fonts.Edit();  // creates the profile's font row when it has none
    fonts.SetValue("TitleFont", info->GetFontName(info->TitleFont));
    fonts.SetValue("footerFont", info->GetFontName(info->FooterFont));
    fonts.Post();
    Mess("Загружены заголовок и окончание чека", false, true, true);
    HideWait();
    TitleLoaded = true;
    return true;
}

bool TSettingsActions::bSaveToKKMClick() {
    if (!StartOperation(WaitSaveTitleMs)) return false;
    TKKMInfo* info = Session.Info();
    TMemTable& fonts = BD.mtCheckFont;
    if (fonts.State() == TDataSetState::Edit || fonts.State() == TDataSetState::Insert) fonts.Post();
    info->TitleFont = static_cast<std::uint8_t>(FontNumberOf(fonts.AsString("TitleFont")));
    info->FooterFont = static_cast<std::uint8_t>(FontNumberOf(fonts.AsString("footerFont")));

    // Row i is line i; a line the current profile has no row for is not written.
    const int titles = std::min(KKMLineCount, BD.mtTitle.RecordCount());
    for (int i = 1; i <= titles; ++i) info->Title[i - 1] = BD.mtTitle.VisibleRecord(i - 1).AsString("Caption");
    for (int j = 1; j <= titles; ++j)
        if (!Session.Protocol.SetTitle(j)) {
            Error("не удалось записать информацию о заголовках", true, true, true);
            return false;
        }
    Mess("Начало Footer", false, true, true);
    const int footers = std::min(KKMLineCount, BD.mtFooter.RecordCount());
    for (int k = 1; k <= footers; ++k) info->Footer[k - 1] = BD.mtFooter.VisibleRecord(k - 1).AsString("Caption");
    for (int l = 1; l <= footers; ++l)
        if (!Session.Protocol.SetFooter(l)) {
            Error("не удалось записать информацию об окончаниях", true, true, true);
            return false;
        }
    Mess("Записаны заголовок и окончание чека", false, true, true);
    HideWait();
    return true;
}

// -------------------------------------------------------------------- taxes

bool TSettingsActions::bLoadTaxClick() {
    if (!StartOperation(WaitLoadTaxMs)) return false;
    MakeRegisterProfileCurrent();
    const TKKMInfo* info = Session.Info();
    for (int i = 1; i <= KKMTaxCount; ++i)
        if (!Session.Protocol.GetTax(i)) {
            Error("не удалось получить информацию о налогах", true, true, true);
            return false;
        }
    TMemTable& t = BD.mtTax;
    for (int j = 1; j <= KKMTaxCount; ++j) {
        const TTaxRec& tax = info->Taxes[j - 1];
        const bool defined = tax.Defined == 0xAA;
        EditItemRow(t, j);
        t.SetValue("Num", j);
        t.SetValue("isDefined", defined);
        t.SetValue("Name", tax.Name);
        t.SetValue("Type", "2");
        if (defined) {
            t.SetValue("Type", std::to_string(tax.Type));
            t.SetValue("Percent", std::round(tax.Percent * 10000.0) / 10000.0);
        }
        t.Post();
    }
    t.First();
    Mess("Загружена информация о налогах", false, true, true);
    HideWait();
    TaxLoaded = true;
    return true;
}

// ------------------------------------------------------------- all at once

bool TSettingsActions::bLoadAllOptionsClick() {
    bool ok = bLoadOptionsClick();
    ok = bDepLoadFromKKMClick() && ok;
    ok = bLoadTitleClick() && ok;
    ok = bLoadTaxClick() && ok;
    Mess("Загрузка " + colorToStrR(AllDoneColor) + "завершена!", false, true, true);
    return ok;
}

bool TSettingsActions::bSaveAllOptionsClick() {
    bool ok = bSaveOptionsClick();
    ok = bSaveDepToKKMClick() && ok;
    ok = bSaveToKKMClick() && ok;
    Mess("Запись" + colorToStrR(AllDoneColor) + " завершена!", false, true, true);
    return ok;
}
