// taxes.
#include "cli/CliCommand.h"
#include "ops/RegisterOps.h"

#include <cstdio>
#include <ostream>

namespace {

int Taxes(TCliContext& ctx) {
    return PrintWork(ctx, TaxesJson, [&](const nlohmann::json& list) {
        for (const auto& t : list) {
            ctx.Out << t["number"].get<int>() << "\t" << t["group"].get<std::string>() << "\t";
            if (!t["defined"].get<bool>()) {
                ctx.Out << "not defined\n";
                continue;
            }
            char percent[16];
            std::snprintf(percent, sizeof percent, "%.2f", t["percent"].get<double>());
            ctx.Out << percent << "%\ttype " << t["type"].get<int>() << "\t" << t["name"].get<std::string>() << "\n";
        }
    });
}

}  // namespace

void AddTaxesCommand() {
    AddCliCommand({"taxes", "", "the register's five taxes (tax groups A..E)",
                   "Text: number, tax group, rate, tax type and name, or \"not defined\". The\n"
                   "taxes are set up on the register itself; this tool only reads them.\n",
                   true, 0, 0, Taxes});
}
