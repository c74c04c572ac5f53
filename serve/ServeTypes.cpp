#include "serve/ServeTypes.h"

#include <algorithm>

bool TServeRequest::Param(const std::string& name, std::string& value) const {
    const auto it = Query.find(name);
    if (it == Query.end()) return false;
    value = it->second;
    return true;
}

std::string TServeRequest::Header(const std::string& lowerName) const {
    const auto it = Headers.find(lowerName);
    return it == Headers.end() ? std::string() : it->second;
}

TServeResponse JsonResponse(int status, const nlohmann::json& doc) {
    TServeResponse r;
    r.Status = status;
    r.ContentType = "application/json; charset=utf-8";
    r.Body = doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return r;
}

TServeResponse ErrorResponse(int status, const std::string& text, const std::string& field) {
    nlohmann::json doc = {{"error", text}};
    if (!field.empty()) doc["field"] = field;
    return JsonResponse(status, doc);
}

std::vector<std::string> ServePathParts(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t from = 1;
    while (from <= path.size()) {
        const auto slash = std::min(path.find('/', from), path.size());
        parts.push_back(path.substr(from, slash - from));
        from = slash + 1;
    }
    if (!parts.empty() && parts.back().empty()) parts.pop_back();  // a trailing slash
    return parts;
}
