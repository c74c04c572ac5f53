// ports, info.
#include "cli/CliCommand.h"
#include "ops/RegisterOps.h"

#include "app/ProjectsVars.h"

#include <ostream>
#include <sstream>

namespace {

int Ports(TCliContext& ctx) {
    const nlohmann::json list = PortsJson();
    if (ctx.Tool.Json) {
        ctx.PrintJson(list);
        return CliOk;
    }
    for (const auto& p : list)
        ctx.Out << "COM" << p["port"].get<int>() << "\t" << p["device"].get<std::string>()
                << (p["busy"].get<bool>() ? "\tBUSY" : "") << "\n";
    return CliOk;
}

int Info(TCliContext& ctx) {
    return PrintWork(ctx, InfoJson, [&](const nlohmann::json& doc) {
        ctx.Out << "model: " << doc["model"].get<std::string>() << "\n"
                << "serial number: " << doc["serialNumber"].get<std::string>() << "\n"
                << "version: " << doc["version"].get<std::string>() << "\n"
                << "mode: " << doc["modeText"].get<std::string>() << "\n"
                << "date: " << doc["date"].get<std::string>() << "\n"
                << "time: " << doc["time"].get<std::string>() << "\n";
    });
}

}  // namespace

void AddInfoCommands() {
    AddCliCommand({"ports", "", "list the serial ports, BUSY where another program holds one",
                   "Prints one line per port that exists: COM<N>, its device and BUSY when it\n"
                   "cannot be opened. Ports made by vornik-sim --com N show when the tool runs in\n"
                   "the same working directory.\n",
                   false, 0, 0, Ports});
    AddCliCommand({"info", "", "the register's model, serial number, version, mode, date and time",
                   "Mode is AUTONOM, ON-LINE or OFF-LINE (goods can be written only OFF-LINE).\n", true, 0, 0,
                   Info});
}
