// A request and its answer as the service's router sees them, without the
// HTTP library: the server copies into and out of these, and the fuzz target
// drives the router with them directly.
#pragma once
#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

struct TServeRequest {
    std::string Method;  // "GET", "PUT", ...
    std::string Path;    // without the query
    std::multimap<std::string, std::string> Query;
    std::map<std::string, std::string> Headers;  // names in lower case
    std::string Body;

    // The first value of a query parameter; false when there is none.
    bool Param(const std::string& name, std::string& value) const;
    std::string Header(const std::string& lowerName) const;
};

struct TServeResponse {
    int Status = 200;
    std::string ContentType = "application/json";
    std::string Body;
    std::map<std::string, std::string> Headers;
};

// The largest request body taken.
constexpr std::size_t ServeMaxBody = 16u * 1024u * 1024u;

// The steps of a path: "/api/v1/ports/" gives "api", "v1", "ports".
std::vector<std::string> ServePathParts(const std::string& path);

TServeResponse JsonResponse(int status, const nlohmann::json& doc);
// {"error": text, "field": field}; field left out when empty.
TServeResponse ErrorResponse(int status, const std::string& text, const std::string& field = "");
