// search: the registers on every port, at every speed.
#include "ops/OpsBarConsole.h"
#include "cli/CliCommand.h"
#include "ops/RegisterOps.h"

#include "kkm/RegisterSearch.h"

#include <algorithm>
#include <ostream>
#include <set>

namespace {

int Search(TCliContext& ctx) {
    nlohmann::json list;
    if (const int status = SearchJson(ctx, list); status != CliOk) return status;
    if (list.empty()) return ctx.Fail(TOpsKind::NoAnswer, "no register answered");
    if (ctx.Tool.Json) {
        ctx.PrintJson(list);
    } else {
        for (const auto& r : list)
            ctx.Out << r["port"].get<std::string>() << " " << r["speed"].get<int>() << " " << r["net"].get<int>() << " "
                    << r["model"].get<std::string>() << " " << r["serialNumber"].get<std::string>() << " "
                    << r["version"].get<std::string>() << "\n";
    }
    return CliOk;
}

}  // namespace

void AddSearchCommand() {
    AddCliCommand({"search", "[--ports N,N...] [--all-nets]", "find the registers on every port, speed and network number",
                   "Tries every port of the machine (or those of --ports) at once, each at the ten\n"
                   "line speeds: --speed first, then 115200, 57600, 38400, 19200, 9600, then the\n"
                   "rest. It looks for the register at network number --net, or with --all-nets\n"
                   "at every number 1..98, and asks each one that answers for its identity.\n"
                   "Ports held by another program are reported and left alone.\n"
                   "Prints one line per register: COM<N> SPEED NET MODEL SERIAL VERSION; with\n"
                   "--json an array of objects with port, device, speed, net, model,\n"
                   "serialNumber and version. Progress goes to standard error on a terminal.\n"
                   "Exit status 0 when at least one register was found, 4 when none.\n",
                   false, 0, 0, Search});
}
