#include "serve/ServeGate.h"

#include "serve/ServeToken.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

// "name:port", "[v6]:port" or a bare name, without its port.
std::string HostName(const std::string& host) {
    if (!host.empty() && host[0] == '[') {
        const auto close = host.find(']');
        return close == std::string::npos ? host : host.substr(0, close + 1);
    }
    const auto colon = host.find(':');
    return Lower(colon == std::string::npos ? host : host.substr(0, colon));
}

// The API's requests that carry a body: the register writes, the goods and
// journal jobs, profile saving and applying, the search.
bool TakesBody(const std::string& method, const std::vector<std::string>& p) {
    if (p.size() == 3 && p[2] == "search") return method == "POST";
    if (p.size() < 5 || p[2] != "registers") return false;
    const std::string& what = p[4];
    if (p.size() == 5 && (what == "options" || what == "departments" || what == "lines")) return method == "PUT";
    if (method != "POST") return false;
    if (p.size() == 5) return what == "profiles";
    return p.size() == 6 && ((what == "goods" && (p[5] == "read-all" || p[5] == "write-all")) ||
                             (what == "profiles" && p[5] == "apply") || (what == "journal" && p[5] == "read"));
}

}  // namespace

std::set<std::string> ServedHosts(const std::string& listenHost, const std::set<std::string>& others) {
    std::set<std::string> hosts = {"localhost", "127.0.0.1", "[::1]"};
    hosts.insert(listenHost.find(':') != std::string::npos ? "[" + Lower(listenHost) + "]" : Lower(listenHost));
    for (const auto& o : others) hosts.insert(Lower(o));
    return hosts;
}

bool AdmitHead(const TGateRules& rules, const TServeRequest& r, std::size_t headerCount, TServeResponse& refusal) {
    if (!rules.Hosts.count(HostName(r.Header("host")))) {
        refusal = ErrorResponse(421, "this service answers only requests sent to localhost", "Host");
        return false;
    }
    if (headerCount > rules.MaxHeaders) {
        refusal = ErrorResponse(431, "more than " + std::to_string(rules.MaxHeaders) + " header lines");
        return false;
    }
    const std::string encoding = Lower(r.Header("content-encoding"));
    if (!encoding.empty() && encoding != "identity") {
        refusal = ErrorResponse(415, "compressed request bodies are not taken", "Content-Encoding");
        return false;
    }
    const auto parts = ServePathParts(r.Path);
    const bool api = parts.size() >= 2 && parts[0] == "api" && parts[1] == "v1";
    const std::string length = r.Header("content-length");
    const bool body = !r.Header("transfer-encoding").empty() || (!length.empty() && length != "0");
    if (!api) {
        if ((r.Method != "GET" && r.Method != "HEAD") || body) {
            refusal = ErrorResponse(404, "no such path");
            return false;
        }
        return true;
    }
    if (!BearerMatches(r.Header("authorization"), rules.Token)) {
        refusal = ErrorResponse(401, "a valid \"Authorization: Bearer <token>\" header is needed", "Authorization");
        return false;
    }
    if (body && !TakesBody(r.Method, parts)) {
        refusal = ErrorResponse(404, "no such path");
        return false;
    }
    if (!length.empty() && (length.size() > 12 || length.find_first_not_of("0123456789") != std::string::npos ||
                            std::stoull(length) > rules.MaxBody)) {
        refusal = ErrorResponse(413, "the request body is over 16 MB", "body");
        return false;
    }
    return true;
}

void AddSafetyHeaders(TServeResponse& r) {
    r.Headers["X-Frame-Options"] = "DENY";
    r.Headers["X-Content-Type-Options"] = "nosniff";
    r.Headers["Content-Security-Policy"] =
        "default-src 'self'; object-src 'none'; base-uri 'none'; form-action 'self'; frame-ancestors 'none'";
}
