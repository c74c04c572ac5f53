// profiles list, profiles save, profiles save-saved, profiles apply,
// profiles delete: the profile store of the working directory (the folder bd
// the configurator uses), from a shell.
#include "cli/CliCommand.h"
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

const char* const kRegisterNote = "\nThe register is given with --port N or --device PATH (see vornik-cli --help).\n";

bool RegisterGiven(TCliContext& ctx) { return ctx.Options.Port > 0 || !ctx.Options.Device.empty(); }

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
    if (ProfileStoreExists(store) && !store.Find(match, found)) return ctx.Fail(TOpsKind::FileError, "reading " + store.Folder() + " failed");
    if (found.empty()) return ctx.Fail(TOpsKind::BadInput, "no stored profile \"" + name + "\"" + (ctx.Args.size() > 1 ? " of " + ctx.Args[1] : ""));
    if (found.size() > 1) {
        ctx.Err << "vornik-cli: " << found.size() << " profiles are named \"" << name
                << "\"; give the serial number as well (\"\" for the template):\n";
        for (const auto& p : found) ctx.Err << "  " << p.Name << "\t" << KindText(p) << "\n";
        ctx.Error = {TOpsKind::BadInput, std::to_string(found.size()) + " profiles are named \"" + name + "\"", ""};
        return OpsFailed;
    }
    if (!store.DeleteStored(found[0].LN)) return ctx.Fail(TOpsKind::FileError, "deleting \"" + name + "\" failed");
    ctx.Out << "deleted \"" << name << "\" (" << KindText(found[0]) << ")\n";
    return CliOk;
}

}  // namespace

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
