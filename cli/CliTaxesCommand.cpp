// taxes.
#include "cli/CliCommand.h"

#include <cstdio>
#include <ostream>

namespace {

int Taxes(TCliContext& ctx) {
    nlohmann::json list = nlohmann::json::array();
    for (int n = 1; n <= KKMTaxCount; ++n) {
        if (!ctx.Do(&TProtocolKKM::GetTax, n, "reading tax " + std::to_string(n))) return CliFailed;
        const TTaxRec& t = ctx.Info().Taxes[n - 1];
        const bool defined = t.Defined == 0xAA;
        const std::string letter(1, static_cast<char>('A' + n - 1));
        char percent[16];
        std::snprintf(percent, sizeof percent, "%.2f", t.Percent);
        if (ctx.Options.Json) {
            nlohmann::json tax = {{"number", n}, {"group", letter}, {"defined", defined}};
            if (defined) {
                tax["type"] = t.Type;
                tax["percent"] = t.Percent;
                tax["name"] = t.Name;
            }
            list.push_back(tax);
        } else if (defined) {
            ctx.Out << n << "\t" << letter << "\t" << percent << "%\ttype " << int(t.Type) << "\t" << t.Name << "\n";
        } else {
            ctx.Out << n << "\t" << letter << "\tnot defined\n";
        }
    }
    if (ctx.Options.Json) ctx.PrintJson(list);
    return CliOk;
}

}  // namespace

void AddTaxesCommand() {
    AddCliCommand({"taxes", "", "the register's five taxes (tax groups A..E)",
                   "Text: number, tax group, rate, tax type and name, or \"not defined\". The\n"
                   "taxes are set up on the register itself; this tool only reads them.\n",
                   true, 0, 0, Taxes});
}
