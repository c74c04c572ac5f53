// The serial ports, and the register's identity and clock.
#include "ops/RegisterOps.h"

#include "app/ProjectsVars.h"

#include <ostream>
#include <sstream>

nlohmann::json PortsJson() {
    nlohmann::json list = nlohmann::json::array();
    std::istringstream in(EnumComPorts());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind("COM", 0) != 0) continue;
        const int n = std::stoi(line.substr(3));
        list.push_back({{"port", n}, {"device", PortDevicePath(n)}, {"busy", line.find("BUSY") != std::string::npos}});
    }
    return list;
}

int InfoJson(TOpsContext& ctx, nlohmann::json& doc) {
    if (!ctx.Do(&TProtocolKKM::GetKKMInfo, "reading the register's identity") ||
        !ctx.Do(&TProtocolKKM::GetDateTime, "reading the register's clock"))
        return OpsFailed;
    const TKKMInfo& info = ctx.Info();
    doc = {{"model", info.Model},
           {"serialNumber", info.SerialNumber},
           {"version", info.Version},
           {"mode", info.Mode},
           {"modeText", KKMModeText(info.Mode)},
           {"date", info.DateText},
           {"time", info.TimeText}};
    return OpsOk;
}
