#include "cli/CliLog.h"

#include "app/U_filedirwork.h"

#include <cstdlib>
#include <filesystem>

namespace {

bool IsSystemFolder(const std::string& dir) {
    for (const char* root : {"/usr", "/bin", "/sbin", "/lib", "/opt", "/snap"}) {
        const std::string r = root;
        if (dir == r || dir.rfind(r + "/", 0) == 0) return true;
    }
    return false;
}

// The user's state folder by the XDG rules; empty when there is no home.
std::string StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/') return state;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/state";
    return "";
}

}  // namespace

std::string CliLogFile(const std::string& given) {
    if (!given.empty()) return given;
    if (!IsSystemFolder(ProgramDir())) return "";
    const std::string state = StateFolder();
    if (state.empty()) return "";
    const std::string dir = state + "/vornik";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return "";  // the log falls back to the working directory
    return dir + "/vornik-cli.log";
}
