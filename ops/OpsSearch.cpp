// The registers on every port, at every speed.
#include "ops/OpsBarConsole.h"
#include "ops/RegisterOps.h"

#include "kkm/RegisterSearch.h"

#include <algorithm>
#include <ostream>
#include <set>

namespace {

// "1,2,5" into port numbers; false on anything else.
bool ParsePortList(const std::string& text, std::set<int>& ports) {
    std::size_t from = 0;
    while (from <= text.size()) {
        const auto comma = std::min(text.find(',', from), text.size());
        const std::string item = text.substr(from, comma - from);
        if (item.empty() || item.size() > 3 || item.find_first_not_of("0123456789") != std::string::npos) return false;
        const int n = std::stoi(item);
        if (n < 1 || n > 256) return false;
        ports.insert(n);
        from = comma + 1;
    }
    return true;
}

}  // namespace

int SearchJson(TOpsContext& ctx, nlohmann::json& list) {
    std::set<int> only;
    if (!ctx.Options.Ports.empty() && !ParsePortList(ctx.Options.Ports, only))
        return ctx.Usage("--ports takes port numbers 1..256: 1,2,5", "ports");
    std::vector<TSearchPort> ports = SearchPortList();
    if (!only.empty()) {
        std::erase_if(ports, [&](const TSearchPort& p) { return !only.count(p.Number); });
        for (int n : only)
            if (std::none_of(ports.begin(), ports.end(), [&](const TSearchPort& p) { return p.Number == n; }))
                ctx.Say("COM" + std::to_string(n) + " is not on this machine");
    }
    TRegisterSearch search;
    search.FirstSpeed = ctx.Options.Speed;
    search.NetNumber = ctx.Options.Net;
    search.AllNets = ctx.Options.AllNets;
    // Busy and failing ports show under the bar; the found registers go to
    // standard output at the end.
    TBarConsole bar(Console(), ctx.Options.Trace);
    SetConsole(&bar);
    search.OnProgress = [&](int done, int total) {
        if (ctx.Progress) ctx.Progress(done, total);
        else bar.DrawBar(ctx.Err, "search", done, total);
        if (ctx.StopRequested && ctx.StopRequested()) search.Stop();
    };
    const auto found = search.Run(ports);
    bar.EndBar();
    SetConsole(bar.Next());
    list = nlohmann::json::array();
    for (const auto& r : found)
        list.push_back({{"port", "COM" + std::to_string(r.Port)},
                        {"device", r.Device},
                        {"speed", r.Speed},
                        {"net", r.Net},
                        {"model", r.Identity.Model},
                        {"serialNumber", r.Identity.SerialNumber},
                        {"version", r.Identity.Version}});
    return OpsOk;
}
