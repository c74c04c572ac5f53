// options get, options set.
#include "cli/CliCommand.h"

#include "cli/CliRegisterWork.h"
#include "cli/CliText.h"

#include <map>
#include <ostream>

namespace {

// Identity first: it loads the model's option descriptions and ranges.
bool ReadOptions(TCliContext& ctx) {
    return ctx.Do(&TProtocolKKM::GetKKMInfo, "reading the register's identity") &&
           ctx.Do(&TProtocolKKM::GetOptions, "reading the options");
}

bool InRange(const TOptionsInfo& o, long long v) { return (v >= o.Min && v <= o.Max) || (v == 0 && o.LeadingZero); }

std::string RangeText(const TOptionsInfo& o) {
    return (o.LeadingZero && o.Min != 0 ? "0; " : "") + std::to_string(o.Min) + ".." + std::to_string(o.Max);
}

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
    for (const auto& arg : ctx.Args) {
        const auto eq = arg.find('=');
        long long n = 0, v = 0;
        if (eq == std::string::npos || !ParseWhole(arg.substr(0, eq), 1, KKMOptionCount, n) ||
            !ParseWhole(arg.substr(eq + 1), 0, 255, v))
            return ctx.Usage("\"" + arg + "\": an option is set as N=V, N 1..64 and V 0..255");
        wanted.push_back({static_cast<int>(n), static_cast<int>(v), arg});
    }
    nlohmann::json report;
    const int status = WriteOptions(ctx, wanted, report);
    if (status == CliUsage || !report.contains("options")) return status;
    for (const auto& o : report["options"])
        if (o["kept"] == o["value"])
            ctx.Out << "option " << o["number"].get<int>() << ": " << o["before"].get<int>() << " -> "
                    << o["value"].get<int>() << "\n";
    if (status == CliOk) ctx.Out << "options written and confirmed\n";
    return status;
}

}  // namespace

int OptionsJson(TCliContext& ctx, nlohmann::json& doc) {
    if (!ReadOptions(ctx)) return CliFailed;
    const TKKMInfo& info = ctx.Info();
    nlohmann::json list = nlohmann::json::array();
    for (int n = 1; n <= info.OptionCount; ++n) {
        const TOptionsInfo& o = info.Options[n - 1];
        const int value = info.OptionValues[n - 1];
        list.push_back({{"number", n},
                        {"value", value},
                        {"min", o.Min},
                        {"max", o.Max},
                        {"zeroAllowed", o.LeadingZero},
                        {"default", o.Def},
                        {"caption", o.Caption},
                        {"inRange", InRange(o, value)}});
    }
    doc = {{"count", info.OptionCount}, {"options", list}};
    return CliOk;
}

int WriteOptions(TCliContext& ctx, const std::vector<TOptionWant>& wanted, nlohmann::json& report) {
    std::map<int, const TOptionWant*> byNumber;
    for (const auto& w : wanted)
        if (!byNumber.emplace(w.Number, &w).second)
            return ctx.Usage("option " + std::to_string(w.Number) + " is given twice", w.Field);
    if (!ReadOptions(ctx)) return CliFailed;
    TKKMInfo& info = ctx.Info();
    for (const auto& [n, w] : byNumber) {
        if (n > info.OptionCount)
            return ctx.Usage("option " + std::to_string(n) + ": this register has " +
                             std::to_string(info.OptionCount) + " options", w->Field);
        if (!InRange(info.Options[n - 1], w->Value))
            return ctx.Usage("option " + std::to_string(n) + ": " + std::to_string(w->Value) + " is outside " +
                             RangeText(info.Options[n - 1]) + " (" + info.Options[n - 1].Caption + ")", w->Field);
    }
    std::map<int, int> before;
    for (const auto& [n, w] : byNumber) {
        before[n] = info.OptionValues[n - 1];
        info.OptionValues[n - 1] = static_cast<std::uint8_t>(w->Value);
    }
    if (!ctx.Do(&TProtocolKKM::SetOptions, "writing the options") ||
        !ctx.Do(&TProtocolKKM::GetOptions, "reading the options back"))
        return CliFailed;
    int status = CliOk;
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [n, w] : byNumber) {
        const int kept = n <= info.OptionCount ? info.OptionValues[n - 1] : -1;
        if (kept != w->Value) {
            ctx.Err << "vornik-cli: option " << n << " reads back as " << kept << ", not " << w->Value << "\n";
            status = CliFailed;
        }
        list.push_back({{"number", n}, {"before", before[n]}, {"value", w->Value}, {"kept", kept}});
    }
    report = {{"options", list}, {"confirmed", status == CliOk}};
    return status;
}

void AddOptionsCommands() {
    AddCliCommand({"options get", "", "the option values with their ranges, defaults and descriptions",
                   "Text: one line per option, N=V, its range, \"def\" and its default, and its\n"
                   "description, separated by tabs. Ranges and descriptions come from the model\n"
                   "file ECR_CFG/<version>_000000.ini of the register's version; \"0; \" in front of\n"
                   "a range means 0 is allowed too.\n",
                   true, 0, 0, Get});
    AddCliCommand({"options set", "N=V ...", "change options: option N gets value V",
                   "Reads the register's options, changes the ones given and writes all of them\n"
                   "back, then reads them again and reports each change. Values outside the\n"
                   "option's range are refused before anything is written.\n"
                   "Example: vornik-cli --port 7 options set 3=2 5=45\n",
                   true, 1, -1, Set});
}
