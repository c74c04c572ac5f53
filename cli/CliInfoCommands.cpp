// ports, info.
#include "cli/CliCommand.h"

#include "app/ProjectsVars.h"

#include <ostream>
#include <sstream>

namespace {

int Ports(TCliContext& ctx) {
    nlohmann::json list = nlohmann::json::array();
    std::istringstream in(EnumComPorts());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("COM", 0) != 0) continue;
        const bool busy = line.find("BUSY") != std::string::npos;
        const int n = std::stoi(line.substr(3));
        if (ctx.Options.Json)
            list.push_back({{"port", n}, {"device", PortDevicePath(n)}, {"busy", busy}});
        else
            ctx.Out << "COM" << n << "\t" << PortDevicePath(n) << (busy ? "\tBUSY" : "") << "\n";
    }
    if (ctx.Options.Json) ctx.PrintJson(list);
    return CliOk;
}

int Info(TCliContext& ctx) {
    if (!ctx.Do(&TProtocolKKM::GetKKMInfo, "reading the register's identity") ||
        !ctx.Do(&TProtocolKKM::GetDateTime, "reading the register's clock"))
        return CliFailed;
    const TKKMInfo& info = ctx.Info();
    if (ctx.Options.Json) {
        ctx.PrintJson({{"model", info.Model},
                       {"serialNumber", info.SerialNumber},
                       {"version", info.Version},
                       {"mode", info.Mode},
                       {"modeText", KKMModeText(info.Mode)},
                       {"date", info.DateText},
                       {"time", info.TimeText}});
        return CliOk;
    }
    ctx.Out << "model: " << info.Model << "\n"
            << "serial number: " << info.SerialNumber << "\n"
            << "version: " << info.Version << "\n"
            << "mode: " << KKMModeText(info.Mode) << "\n"
            << "date: " << info.DateText << "\n"
            << "time: " << info.TimeText << "\n";
    return CliOk;
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
