// options get, options set.
#include "cli/CliCommand.h"

#include "cli/CliWriteInput.h"
#include "ops/OpsInput.h"
#include "ops/RegisterOps.h"
#include "ops/OpsText.h"

#include <map>
#include <ostream>

namespace {

int Get(TCliContext& ctx) {
    return PrintWork(ctx, OptionsJson, [&](const nlohmann::json& doc) {
        for (const auto& o : doc["options"]) {
            const int min = o["min"], max = o["max"];
            ctx.Out << o["number"].get<int>() << "=" << o["value"].get<int>() << "\t"
                    << (o["zeroAllowed"].get<bool>() && min != 0 ? "0; " : "") << min << ".." << max << " def "
                    << o["default"].get<int>() << "\t" << o["caption"].get<std::string>() << "\n";
        }
    });
}

int Set(TCliContext& ctx) {
    std::vector<TOptionWant> wanted;
    if (JsonInputGiven(ctx)) {
        std::string body;
        TBodyError error;
        if (!ReadInputFile(ctx, ctx.Args[0], body)) return OpsFailed;
        if (!ParseOptionsInput(body, wanted, error)) return ctx.Usage(ctx.Args[0] + ": " + error.Text, error.Field);
    }
    for (const auto& arg : JsonInputGiven(ctx) ? std::vector<std::string>{} : ctx.Args) {
        const auto eq = arg.find('=');
        long long n = 0, v = 0;
        if (eq == std::string::npos || !ParseWhole(arg.substr(0, eq), 1, KKMOptionCount, n) ||
            !ParseWhole(arg.substr(eq + 1), 0, 255, v))
            return ctx.Usage("\"" + arg + "\": an option is set as N=V, N 1..64 and V 0..255");
        wanted.push_back({static_cast<int>(n), static_cast<int>(v), arg});
    }
    nlohmann::json report;
    const int status = WriteOptions(ctx, wanted, report);
    return ReportWrite(ctx, status, report, "options", [&](const nlohmann::json& r) {
        for (const auto& o : r["options"])
            if (o["changed"].get<bool>())
                ctx.Out << "option " << o["number"].get<int>() << ": " << o["before"].get<int>() << " -> "
                        << o["after"].get<int>() << "\n";
        if (status == CliOk && r["changed"].get<bool>() && !r["check"].get<bool>())
            ctx.Out << "options written and confirmed\n";
    });
}

}  // namespace

void AddOptionsCommands() {
    AddCliCommand({"options get", "", "the option values with their ranges, defaults and descriptions",
                   "Text: one line per option, N=V, its range, \"def\" and its default, and its\n"
                   "description, separated by tabs. Ranges and descriptions come from the model\n"
                   "file ECR_CFG/<version>_000000.ini of the register's version; \"0; \" in front of\n"
                   "a range means 0 is allowed too.\n",
                   true, 0, 0, Get});
    AddCliCommand({"options set", "N=V ...|FILE.json [--check]", "change options: option N gets value V",
                   "Reads the register's options, changes the ones given and, when one differs,\n"
                   "writes them, then reads them again and reports each change. Values outside\n"
                   "the option's range are refused before anything is written.\n"
                   "FILE.json (or - with --json) holds what --json options get prints; only\n"
                   "number and value count, and options left out stay as they are.\n"
                   "With --check nothing is written: the changes are only shown. With --json\n"
                   "the report is {changed, check, options: [{number, before, after, changed}]}.\n"
                   "Example: vornik-cli --port 7 options set 3=2 5=45\n",
                   true, 1, -1, Set});
}
