// options get, options set.
#include "cli/CliCommand.h"

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
    if (!ReadOptions(ctx)) return CliFailed;
    const TKKMInfo& info = ctx.Info();
    nlohmann::json list = nlohmann::json::array();
    for (int n = 1; n <= info.OptionCount; ++n) {
        const TOptionsInfo& o = info.Options[n - 1];
        const int value = info.OptionValues[n - 1];
        if (ctx.Options.Json)
            list.push_back({{"number", n},
                            {"value", value},
                            {"min", o.Min},
                            {"max", o.Max},
                            {"zeroAllowed", o.LeadingZero},
                            {"default", o.Def},
                            {"caption", o.Caption},
                            {"inRange", InRange(o, value)}});
        else
            ctx.Out << n << "=" << value << "\t" << RangeText(o) << " def " << o.Def << "\t" << o.Caption << "\n";
    }
    if (ctx.Options.Json) ctx.PrintJson({{"count", info.OptionCount}, {"options", list}});
    return CliOk;
}

int Set(TCliContext& ctx) {
    std::map<int, int> wanted;
    for (const auto& arg : ctx.Args) {
        const auto eq = arg.find('=');
        long long n = 0, v = 0;
        if (eq == std::string::npos || !ParseWhole(arg.substr(0, eq), 1, KKMOptionCount, n) ||
            !ParseWhole(arg.substr(eq + 1), 0, 255, v))
            return ctx.Usage("\"" + arg + "\": an option is set as N=V, N 1..64 and V 0..255");
        if (!wanted.emplace(static_cast<int>(n), static_cast<int>(v)).second)
            return ctx.Usage("option " + std::to_string(n) + " is given twice");
    }
    if (!ReadOptions(ctx)) return CliFailed;
    TKKMInfo& info = ctx.Info();
    for (const auto& [n, v] : wanted) {
        if (n > info.OptionCount)
            return ctx.Usage("option " + std::to_string(n) + ": this register has " +
                             std::to_string(info.OptionCount) + " options");
        if (!InRange(info.Options[n - 1], v))
            return ctx.Usage("option " + std::to_string(n) + ": " + std::to_string(v) + " is outside " +
                             RangeText(info.Options[n - 1]) + " (" + info.Options[n - 1].Caption + ")");
    }
    std::map<int, int> before;
    for (const auto& [n, v] : wanted) {
        before[n] = info.OptionValues[n - 1];
        info.OptionValues[n - 1] = static_cast<std::uint8_t>(v);
    }
    if (!ctx.Do(&TProtocolKKM::SetOptions, "writing the options") ||
        !ctx.Do(&TProtocolKKM::GetOptions, "reading the options back"))
        return CliFailed;
    int status = CliOk;
    for (const auto& [n, v] : wanted) {
        const int kept = n <= info.OptionCount ? info.OptionValues[n - 1] : -1;
        if (kept != v) {
            ctx.Err << "vornik-cli: option " << n << " reads back as " << kept << ", not " << v << "\n";
            status = CliFailed;
        } else {
            ctx.Out << "option " << n << ": " << before[n] << " -> " << v << "\n";
        }
    }
    if (status == CliOk) ctx.Out << "options written and confirmed\n";
    return status;
}

}  // namespace

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
