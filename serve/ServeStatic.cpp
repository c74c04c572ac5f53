#include "serve/ServeStatic.h"

#include "app/U_filedirwork.h"

#include <algorithm>

namespace {

std::string ContentType(const std::string& name) {
    const auto dot = name.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    if (ext == "html") return "text/html; charset=utf-8";
    if (ext == "css") return "text/css; charset=utf-8";
    if (ext == "js") return "text/javascript; charset=utf-8";
    if (ext == "json") return "application/json";
    if (ext == "svg") return "image/svg+xml";
    if (ext == "png") return "image/png";
    if (ext == "ico") return "image/x-icon";
    if (ext == "txt") return "text/plain; charset=utf-8";
    return "application/octet-stream";
}

}  // namespace

bool ServeWebFile(const std::string& webDir, const std::string& path, TServeResponse& response) {
    if (path.empty() || path[0] != '/') return false;
    const std::string name = path == "/" ? "index.html" : path.substr(1);
    // Plain names (letters, digits, '-', '_', dots) joined by '/', none
    // empty or starting with a dot: nothing can lead out of the folder.
    if (name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_./") != std::string::npos)
        return false;
    for (std::size_t from = 0; from <= name.size();) {
        const auto slash = std::min(name.find('/', from), name.size());
        if (slash == from || name[from] == '.') return false;
        from = slash + 1;
    }
    const std::string file = JoinPath(webDir, name);
    std::string bytes;
    if (DirExists(file) || !ReadFileBytes(file, bytes)) return false;
    response.Status = 200;
    response.ContentType = ContentType(name);
    response.Body = std::move(bytes);
    response.Headers["Cache-Control"] = "no-cache";
    return true;
}
