// The profile store of the working directory (the folder bd the
// configurator uses), and profiles saved from and applied to the register.
#include "ops/RegisterOps.h"

#include "app/Dialog.h"
#include "app/U_filedirwork.h"
#include "kkm/RegisterSession.h"
#include "profiles/ProfileActions.h"
#include "profiles/ProfileStore.h"
#include "settings/SettingsActions.h"
#include "settings/Unitbd.h"

#include <algorithm>
#include <ostream>

namespace {

// The operations report their progress to the console as the window's do;
// on standard error only errors, warnings and answered questions are shown
// (everything with --trace).
class TQuietConsole : public IConsole {
public:
    TQuietConsole(IConsole* next, bool all) : next_(next), all_(all) {}
    int LineCount() const override { return next_ ? next_->LineCount() : 0; }
    void DeleteFirstLine() override {}
    void Reset() override {}
    void AddLine(const std::string& line) override {
        if (!next_) return;
        if (all_ || line.find("Error:") != std::string::npos || line.find("Warning:") != std::string::npos ||
            line.find("Query:") != std::string::npos)
            next_->AddLine(line);
    }

private:
    IConsole* next_;
    bool all_;
};

// The configurator's parts without a window: the register session, the
// working tables, the settings operations and the profile store.
struct TProfilesRig {
    explicit TProfilesRig(const TOpsContext& ctx) : Previous(Console()), Quiet(Previous, ctx.Options.Trace) {
        SetConsole(&Quiet);
        BD.InfoSource = [this] { return Session.Info(); };
        Settings.AddAfterConnectStep();
        Profiles.AddAfterConnectStep();
    }
    ~TProfilesRig() {
        if (Session.IsConnected()) Session.ComPort.Close();
        SetConsole(Previous);
    }

    // Connects to the register of the command line; its profile list is
    // built on the way.
    bool Connect(TOpsContext& ctx) {
        if (!ctx.Options.Device.empty())
            Session.ComPort.SetDevicePath(ctx.Options.Device);
        else
            Session.ComPort.SetPortNumber(ctx.Options.Port);
        Session.ComPort.SetSpeed(ctx.Options.Speed);
        Session.KKM.NetNumber = static_cast<std::uint8_t>(ctx.Options.Net);
        if (Session.Connect() && Session.Info()) return true;
        ctx.FailLink(Session.ComPort, Session.KKM, "connecting to the register failed");
        return false;
    }

    IConsole* Previous;
    TQuietConsole Quiet;
    TRegisterSession Session;
    TBD BD;
    TSettingsActions Settings{Session, BD};
    TProfileStore Store{BD};
    TProfileActions Profiles{Session, BD, Store,
                             {&Settings.OptionsLoaded, &Settings.DepsLoaded, &Settings.TitleLoaded, &Settings.TaxLoaded}};
};

// What a profile sends to the register, item by item as text, taken before
// the write (the read back replaces the working rows).
struct TSentGroup {
    const char* What;
    std::vector<std::string> Items;
};

std::vector<TSentGroup> WhatIsSent(TBD& bd, const TKKMInfo& info) {
    std::vector<TSentGroup> s = {{"option", {}}, {"department", {}}, {"header line", {}}, {"footer line", {}}};
    for (int i = 0; i < std::min<int>(info.GetOptionCount(), bd.mtOptions.RecordCount()); ++i)
        s[0].Items.push_back(std::to_string(bd.mtOptions.VisibleRecord(i).AsInteger("Value") & 0xFF));
    for (int i = 0; i < std::min<int>(info.GetMaxCountDepat(), bd.mtDepatment.RecordCount()); ++i) {
        const TRecordRef r = bd.mtDepatment.VisibleRecord(i);
        const int kind = r.IsNull("Status") ? DepKindClosed : NormalDepKind(r.AsInteger("Status"));
        s[1].Items.push_back(DepKindText(TFieldValue(kind)) + (kind == DepKindClosed ? "" : " " + r.AsString("Name")));
    }
    for (int i = 0; i < std::min(KKMLineCount, bd.mtTitle.RecordCount()); ++i)
        s[2].Items.push_back(bd.mtTitle.VisibleRecord(i).AsString("Caption"));
    for (int i = 0; i < std::min(KKMLineCount, bd.mtFooter.RecordCount()); ++i)
        s[3].Items.push_back(bd.mtFooter.VisibleRecord(i).AsString("Caption"));
    return s;
}

}  // namespace

bool ProfileStoreExists(const TProfileStore& store) { return FileExists(JoinPath(store.Folder(), "Profile.dbf")); }

int ProfilesJson(TOpsContext& ctx, nlohmann::json& doc) {
    TBD bd;
    TProfileStore store(bd);
    std::vector<TStoredProfile> all;
    if (ProfileStoreExists(store) && !store.Find({}, all)) return ctx.Fail(TOpsKind::FileError, "reading " + store.Folder() + " failed");
    nlohmann::json list = nlohmann::json::array();
    for (const auto& p : all)
        list.push_back({{"name", p.Name},
                        {"kind", p.IsTemplate() ? "template" : "saved"},
                        {"serialNumber", p.SN},
                        {"version", p.TypeKKM},
                        {"key", p.LN}});
    doc = {{"store", store.Folder()}, {"profiles", list}};
    return OpsOk;
}

int SaveProfileJson(TOpsContext& ctx, std::string name, bool saved, nlohmann::json& doc) {
    if (saved) name = SavedProfileName;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name.empty()) return ctx.Usage("a template needs a name", "name");
    TProfilesRig rig(ctx);
    if (!rig.Connect(ctx)) return OpsFailed;
    if (!rig.Settings.bLoadAllOptionsClick()) return ctx.FailLink(rig.Session.ComPort, rig.Session.KKM, "reading the register's settings failed; nothing stored");
    const TKKMInfo& info = *rig.Session.Info();
    rig.Profiles.SelectProfile(1);
    const std::string key = rig.Store.SaveProfile(name, saved ? info.SerialNumber : "", info.Version);
    if (key.empty()) return ctx.Fail(TOpsKind::FileError, "storing the profile failed");
    doc = {{"key", key},
           {"name", name},
           {"serialNumber", info.SerialNumber},
           {"version", info.Version},
           {"store", rig.Store.Folder()},
           {"options", rig.BD.mtOptions.RecordCount()},
           {"departments", rig.BD.mtDepatment.RecordCount()},
           {"headerLines", rig.BD.mtTitle.RecordCount()},
           {"footerLines", rig.BD.mtFooter.RecordCount()},
           {"taxes", rig.BD.mtTax.RecordCount()}};
    return OpsOk;
}

int ApplyProfileJson(TOpsContext& ctx, const std::string& name, nlohmann::json& doc) {
    TProfilesRig rig(ctx);
    if (!rig.Connect(ctx)) return OpsFailed;
    const TKKMInfo& info = *rig.Session.Info();
    TMemTable& list = rig.BD.mtProfile;
    int row = 0;
    for (int i = 1; i < list.RecordCount() && row == 0; ++i)
        if (list.VisibleRecord(i).AsString("Name") == name) row = i + 1;
    if (row == 0)
        return ctx.Fail(TOpsKind::BadInput, "no profile \"" + name + "\" for this register (serial number " + info.SerialNumber +
                        ", version " + info.Version + "); vornik-cli profiles list shows the store");
    rig.Profiles.SelectProfile(row);
    const auto sent = WhatIsSent(rig.BD, info);
    if (!rig.Settings.bSaveAllOptionsClick()) return ctx.FailLink(rig.Session.ComPort, rig.Session.KKM, "writing the profile \"" + name + "\" failed");

    // Read back: the register's rows must be what was sent.
    if (!rig.Settings.bLoadOptionsClick() || !rig.Settings.bDepLoadFromKKMClick() || !rig.Settings.bLoadTitleClick())
        return ctx.FailLink(rig.Session.ComPort, rig.Session.KKM, "reading the settings back failed");
    const auto kept = WhatIsSent(rig.BD, info);
    int status = OpsOk;
    for (std::size_t g = 0; g < sent.size(); ++g)
        for (std::size_t i = 0; i < sent[g].Items.size(); ++i) {
            const std::string k = i < kept[g].Items.size() ? kept[g].Items[i] : std::string();
            if (k == sent[g].Items[i]) continue;
            status = ctx.Fail(TOpsKind::NotKept, std::string(sent[g].What) + " " + std::to_string(i + 1) + " reads back as \"" + k +
                                                     "\", not \"" + sent[g].Items[i] + "\"");
        }
    doc = {{"name", name},
           {"serialNumber", info.SerialNumber},
           {"confirmed", status == OpsOk},
           {"options", sent[0].Items.size()},
           {"departments", sent[1].Items.size()},
           {"headerLines", sent[2].Items.size()},
           {"footerLines", sent[3].Items.size()}};
    return status;
}

int DeleteProfileKey(TOpsContext& ctx, const std::string& key, nlohmann::json& doc) {
    TBD bd;
    TProfileStore store(bd);
    std::vector<TStoredProfile> all;
    if (ProfileStoreExists(store) && !store.Find({}, all)) return ctx.Fail(TOpsKind::FileError, "reading " + store.Folder() + " failed");
    const auto it = std::find_if(all.begin(), all.end(), [&](const TStoredProfile& p) { return p.LN == key; });
    if (it == all.end()) return ctx.Usage("no stored profile with the key " + key, "key");
    if (!store.DeleteStored(key)) return ctx.Fail(TOpsKind::FileError, "deleting \"" + it->Name + "\" failed");
    doc = {{"deleted", key}, {"name", it->Name}};
    return OpsOk;
}
