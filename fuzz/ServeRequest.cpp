// Any bytes as a request to the HTTP service's router: method, path, query,
// header lines and body, each ended by a byte 0 (the body is the rest); the
// first byte says whether the right token goes with it. The router runs
// without a network and without registers (every port's device is missing),
// so everything up to the register is exercised: authorization, paths, query
// parameters, JSON and goods file bodies, jobs, the page's files.
//
// Checked besides memory safety: every answer is a known status with a JSON
// error body where it is an error, and nothing passes without the token.
#include "FuzzSupport.h"
#include "serve/ServeApi.h"
#include "serve/ServeBodies.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace {

const std::string kToken(64, 'a');

TServeApi& Api() {
    static TServeApi* api = [] {
        TServeConfig config;
        config.Token = kToken;
        config.WebDir = fuzz::ScratchFile("web");
        mkdir(config.WebDir.c_str(), 0700);
        fuzz::WriteWhole(config.WebDir + "/index.html", reinterpret_cast<const std::uint8_t*>("<p>"), 3);
        config.ScratchDir = fuzz::ScratchFile("scratch");
        mkdir(config.ScratchDir.c_str(), 0700);
        config.PortDevice = [](int n) { return "/nonexistent/tty" + std::to_string(n); };
        // The ports' own devices "exist" (at most 256 workers), so that
        // requests reach their worker, which finds no device and says so.
        config.DeviceExists = [](const std::string& d) { return d.rfind("/nonexistent/tty", 0) == 0 && d.size() < 20; };
        return new TServeApi(config);  // kept to the end: its threads are the process's
    }();
    return *api;
}

void ParseQuery(const std::string& text, std::multimap<std::string, std::string>& query) {
    std::size_t from = 0;
    while (from < text.size()) {
        const auto amp = std::min(text.find('&', from), text.size());
        const std::string item = text.substr(from, amp - from);
        const auto eq = item.find('=');
        query.emplace(item.substr(0, eq), eq == std::string::npos ? "" : item.substr(eq + 1));
        from = amp + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (fuzz::QuietMessages(), true);
    (void)quiet;
    fuzz::TInput in(data, size);
    const bool withToken = (in.Byte() & 1) != 0;
    TServeRequest r;
    r.Method = in.Text();
    r.Path = in.Text();
    ParseQuery(in.Text(), r.Query);
    const std::string headers = in.Text();
    for (std::size_t from = 0; from < headers.size();) {
        const auto nl = std::min(headers.find('\n', from), headers.size());
        const std::string line = headers.substr(from, nl - from);
        const auto colon = line.find(':');
        std::string name = line.substr(0, colon);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (colon != std::string::npos) r.Headers.emplace(name, line.substr(colon + 1));
        from = nl + 1;
    }
    if (withToken) r.Headers["authorization"] = "Bearer " + kToken;
    r.Body = in.Rest();
    // The search tries the machine's real ports: only its body is taken here.
    if (r.Path.find("search") != std::string::npos) {
        TOpsOptions options;
        TBodyError error;
        (void)ParseSearchBody(r.Body, options, error);
        return 0;
    }

    const TServeResponse a = Api().Handle(r);
    static const int known[] = {200, 202, 400, 401, 404, 405, 409, 413, 500, 502, 503, 504};
    if (std::find(std::begin(known), std::end(known), a.Status) == std::end(known)) __builtin_trap();
    if (a.Status >= 400 && nlohmann::json::parse(a.Body, nullptr, false).value("error", "").empty()) __builtin_trap();
    const bool api = r.Path.rfind("/api/", 0) == 0;
    if (api && r.Headers["authorization"] != "Bearer " + kToken && a.Status != 401 && a.Status != 404) __builtin_trap();
    return 0;
}
