// profiles list, profiles save, profiles save-saved, profiles apply,
// profiles delete: the profile store of the working directory (the folder bd
// the configurator uses), from a shell.
#include "cli/CliCommand.h"
#include "cli/CliRegisterWork.h"

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

const char* const kRegisterNote = "\nThe register is given with --port N or --device PATH (see vornik-cli --help).\n";

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
    explicit TProfilesRig(const TCliContext& ctx) : Previous(Console()), Quiet(Previous, ctx.Options.Trace) {
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
    bool Connect(TCliContext& ctx) {
        if (!ctx.Options.Device.empty())
            Session.ComPort.SetDevicePath(ctx.Options.Device);
        else
            Session.ComPort.SetPortNumber(ctx.Options.Port);
        Session.ComPort.SetSpeed(ctx.Options.Speed);
        Session.KKM.NetNumber = static_cast<std::uint8_t>(ctx.Options.Net);
        if (Session.Connect() && Session.Info()) return true;
        ctx.Err << "vornik-cli: connecting to the register failed\n";
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

bool RegisterGiven(TCliContext& ctx) { return ctx.Options.Port > 0 || !ctx.Options.Device.empty(); }

// Whether the store has been made in this working directory (reading
// commands do not make it).
bool StoreExists(const TProfileStore& store) { return FileExists(JoinPath(store.Folder(), "Profile.dbf")); }

std::string KindText(const TStoredProfile& p) {
    return p.IsTemplate() ? "template " + p.TypeKKM : "saved " + p.SN + " (" + p.TypeKKM + ")";
}

int List(TCliContext& ctx) {
    return PrintWork(ctx, ProfilesJson, [&](const nlohmann::json& doc) {
        if (doc["profiles"].empty()) ctx.Out << "no profiles stored in " << doc["store"].get<std::string>() << "\n";
        for (const auto& p : doc["profiles"])
            ctx.Out << p["name"].get<std::string>() << "\t"
                    << (p["kind"] == "template" ? "template " + p["version"].get<std::string>()
                                                : "saved " + p["serialNumber"].get<std::string>() + " (" +
                                                      p["version"].get<std::string>() + ")")
                    << "\t" << p["key"].get<std::string>() << "\n";
    });
}

int Save(TCliContext& ctx, bool saved) {
    if (!RegisterGiven(ctx)) return ctx.Usage("no register given: use --port N or --device PATH");
    nlohmann::json doc;
    if (const int status = SaveProfileJson(ctx, saved ? "" : ctx.Args.at(0), saved, doc); status != CliOk) return status;
    ctx.Out << "stored \"" << doc["name"].get<std::string>() << "\" as "
            << (saved ? "the saved profile of " + doc["serialNumber"].get<std::string>()
                      : "a template of " + doc["version"].get<std::string>())
            << " (key " << doc["key"].get<std::string>() << ") in " << doc["store"].get<std::string>() << ": "
            << doc["options"].get<int>() << " options, " << doc["departments"].get<int>() << " departments, "
            << doc["headerLines"].get<int>() << "+" << doc["footerLines"].get<int>() << " lines, "
            << doc["taxes"].get<int>() << " taxes\n";
    return CliOk;
}

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

int Apply(TCliContext& ctx) {
    if (!RegisterGiven(ctx)) return ctx.Usage("no register given: use --port N or --device PATH");
    nlohmann::json doc;
    const int status = ApplyProfileJson(ctx, ctx.Args.at(0), doc);
    if (status == CliOk)
        ctx.Out << "wrote \"" << doc["name"].get<std::string>() << "\" to the register "
                << doc["serialNumber"].get<std::string>() << ": " << doc["options"].get<int>() << " options, "
                << doc["departments"].get<int>() << " departments, " << doc["headerLines"].get<int>() << "+"
                << doc["footerLines"].get<int>() << " lines, read back and confirmed\n";
    return status;
}

int Delete(TCliContext& ctx) {
    TBD bd;
    TProfileStore store(bd);
    const std::string& name = ctx.Args.at(0);
    std::vector<TDbfCondition> match = {{"NAME", name}};
    if (ctx.Args.size() > 1) match.push_back({"SN", ctx.Args[1]});
    std::vector<TStoredProfile> found;
    if (StoreExists(store) && !store.Find(match, found)) return ctx.Fail("reading " + store.Folder() + " failed");
    if (found.empty()) return ctx.Fail("no stored profile \"" + name + "\"" + (ctx.Args.size() > 1 ? " of " + ctx.Args[1] : ""));
    if (found.size() > 1) {
        ctx.Err << "vornik-cli: " << found.size() << " profiles are named \"" << name
                << "\"; give the serial number as well (\"\" for the template):\n";
        for (const auto& p : found) ctx.Err << "  " << p.Name << "\t" << KindText(p) << "\n";
        return CliUsage;
    }
    if (!store.DeleteStored(found[0].LN)) return ctx.Fail("deleting \"" + name + "\" failed");
    ctx.Out << "deleted \"" << name << "\" (" << KindText(found[0]) << ")\n";
    return CliOk;
}

}  // namespace

int ProfilesJson(TCliContext& ctx, nlohmann::json& doc) {
    TBD bd;
    TProfileStore store(bd);
    std::vector<TStoredProfile> all;
    if (StoreExists(store) && !store.Find({}, all)) return ctx.Fail("reading " + store.Folder() + " failed");
    nlohmann::json list = nlohmann::json::array();
    for (const auto& p : all)
        list.push_back({{"name", p.Name},
                        {"kind", p.IsTemplate() ? "template" : "saved"},
                        {"serialNumber", p.SN},
                        {"version", p.TypeKKM},
                        {"key", p.LN}});
    doc = {{"store", store.Folder()}, {"profiles", list}};
    return CliOk;
}

int SaveProfileJson(TCliContext& ctx, std::string name, bool saved, nlohmann::json& doc) {
    if (saved) name = SavedProfileName;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (name.empty()) return ctx.Usage("a template needs a name", "name");
    TProfilesRig rig(ctx);
    if (!rig.Connect(ctx)) return CliFailed;
    if (!rig.Settings.bLoadAllOptionsClick()) return ctx.Fail("reading the register's settings failed; nothing stored");
    const TKKMInfo& info = *rig.Session.Info();
    rig.Profiles.SelectProfile(1);
    const std::string key = rig.Store.SaveProfile(name, saved ? info.SerialNumber : "", info.Version);
    if (key.empty()) return ctx.Fail("storing the profile failed");
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
    return CliOk;
}

int ApplyProfileJson(TCliContext& ctx, const std::string& name, nlohmann::json& doc) {
    TProfilesRig rig(ctx);
    if (!rig.Connect(ctx)) return CliFailed;
    const TKKMInfo& info = *rig.Session.Info();
    TMemTable& list = rig.BD.mtProfile;
    int row = 0;
    for (int i = 1; i < list.RecordCount() && row == 0; ++i)
        if (list.VisibleRecord(i).AsString("Name") == name) row = i + 1;
    if (row == 0)
        return ctx.Fail("no profile \"" + name + "\" for this register (serial number " + info.SerialNumber +
                        ", version " + info.Version + "); vornik-cli profiles list shows the store");
    rig.Profiles.SelectProfile(row);
    const auto sent = WhatIsSent(rig.BD, info);
    if (!rig.Settings.bSaveAllOptionsClick()) return ctx.Fail("writing the profile \"" + name + "\" failed");

    // Read back: the register's rows must be what was sent.
    if (!rig.Settings.bLoadOptionsClick() || !rig.Settings.bDepLoadFromKKMClick() || !rig.Settings.bLoadTitleClick())
        return ctx.Fail("reading the settings back failed");
    const auto kept = WhatIsSent(rig.BD, info);
    int status = CliOk;
    for (std::size_t g = 0; g < sent.size(); ++g)
        for (std::size_t i = 0; i < sent[g].Items.size(); ++i) {
            const std::string k = i < kept[g].Items.size() ? kept[g].Items[i] : std::string();
            if (k == sent[g].Items[i]) continue;
            ctx.Err << "vornik-cli: " << sent[g].What << " " << i + 1 << " reads back as \"" << k << "\", not \""
                    << sent[g].Items[i] << "\"\n";
            status = CliFailed;
        }
    doc = {{"name", name},
           {"serialNumber", info.SerialNumber},
           {"confirmed", status == CliOk},
           {"options", sent[0].Items.size()},
           {"departments", sent[1].Items.size()},
           {"headerLines", sent[2].Items.size()},
           {"footerLines", sent[3].Items.size()}};
    return status;
}

int DeleteProfileKey(TCliContext& ctx, const std::string& key, nlohmann::json& doc) {
    TBD bd;
    TProfileStore store(bd);
    std::vector<TStoredProfile> all;
    if (StoreExists(store) && !store.Find({}, all)) return ctx.Fail("reading " + store.Folder() + " failed");
    const auto it = std::find_if(all.begin(), all.end(), [&](const TStoredProfile& p) { return p.LN == key; });
    if (it == all.end()) return ctx.Usage("no stored profile with the key " + key, "key");
    if (!store.DeleteStored(key)) return ctx.Fail("deleting \"" + it->Name + "\" failed");
    doc = {{"deleted", key}, {"name", it->Name}};
    return CliOk;
}

void AddProfilesCommands() {
    AddCliCommand({"profiles list", "", "the profiles stored in bd of the working directory",
                   "Text: one line per stored profile: its name, \"template\" and the firmware\n"
                   "version it is offered to, or \"saved\" and the register's serial number (with\n"
                   "its version), and its key. The store is the configurator's: the folder bd of\n"
                   "the working directory.\n",
                   false, 0, 0, List});
    AddCliCommand({"profiles save", "NAME", "store the register's settings as a template",
                   "Reads options, departments, header and footer lines and taxes from the\n"
                   "register and stores them in bd as the template NAME of the register's\n"
                   "firmware version. A template of that name is overwritten.\n" +
                       std::string(kRegisterNote),
                   false, 1, 1, [](TCliContext& ctx) { return Save(ctx, false); }});
    AddCliCommand({"profiles save-saved", "", "store the register's settings as its saved profile",
                   "As profiles save, but as the register's own saved profile \"Сохраненная\"\n"
                   "(one per serial number, overwritten by each save).\n" +
                       std::string(kRegisterNote),
                   false, 0, 0, [](TCliContext& ctx) { return Save(ctx, true); }});
    AddCliCommand({"profiles apply", "NAME", "write a stored profile or template to the register",
                   "Writes options, departments and header and footer lines of the profile NAME\n"
                   "(the register's saved profile \"Сохраненная\" or a template of its version)\n"
                   "to the register, then reads them back and reports any difference.\n" +
                       std::string(kRegisterNote),
                   false, 1, 1, Apply});
    AddCliCommand({"profiles delete", "NAME [SERIAL]", "remove a stored profile or template",
                   "Removes the profile NAME and all its rows from bd. When several profiles have\n"
                   "the name (the saved profiles of several registers), SERIAL says which one;\n"
                   "\"\" names the template.\n",
                   false, 1, 2, Delete});
}
