#include "cli/CliWriteInput.h"

#include "app/U_filedirwork.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <iterator>
#include <ostream>

bool JsonInputGiven(const TCliContext& ctx) {
    if (ctx.Args.size() != 1) return false;
    std::string name = ctx.Args[0];
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return (name == "-" && ctx.Tool.Json) || (name.size() > 5 && name.compare(name.size() - 5, 5, ".json") == 0);
}

bool ReadInputFile(TCliContext& ctx, const std::string& path, std::string& text) {
    if (path == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return true;
    }
    if (!DirExists(path) && ReadFileBytes(path, text)) return true;
    ctx.Fail(TOpsKind::FileError, path + ": cannot be read");
    return false;
}

int ReportWrite(TCliContext& ctx, int status, const nlohmann::json& report, const std::string& what,
                const std::function<void(const nlohmann::json&)>& text) {
    if (status != CliOk) {
        if (!ctx.Tool.Json && report.contains("changed")) text(report);  // what was kept before the failure
        return status;
    }
    if (ctx.Tool.Json) {
        ctx.PrintJson(report);
        return CliOk;
    }
    text(report);
    if (!report.value("changed", false)) ctx.Out << what << ": nothing to write, the register holds these values\n";
    else if (ctx.Options.Check) ctx.Out << what << ": checked only, nothing written\n";
    return CliOk;
}
