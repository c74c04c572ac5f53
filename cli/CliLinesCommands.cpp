// lines get, lines set: the receipt header and footer lines with their fonts.
#include "cli/CliCommand.h"

#include "cli/CliWriteInput.h"
#include "ops/OpsInput.h"
#include "ops/RegisterOps.h"
#include "ops/OpsText.h"

#include <algorithm>
#include <map>
#include <ostream>

namespace {

int Get(TCliContext& ctx) {
    return PrintWork(ctx, LinesJson, [&](const nlohmann::json& doc) {
        for (const char* key : {"header", "footer"}) {
            const auto& group = doc[key];
            ctx.Out << key << ".font=" << group["font"].get<int>() << "\n";
            for (int n = 1; n <= KKMLineCount; ++n)
                ctx.Out << key << "." << n << "=" << group["lines"][n - 1].get<std::string>() << "\n";
        }
    });
}

// The groups of a KEY=VALUE file; OpsFailed after saying what is wrong.
int ReadTextFile(TCliContext& ctx, const std::string& path, std::map<std::string, TLinesWant>& wanted) {
    std::vector<std::string> lines;
    std::string error;
    if (!ReadTextLines(path, lines, error)) return ctx.Fail(TOpsKind::FileError, error);
    std::map<std::string, int> seen;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == '#') continue;
        const std::string where = path + ":" + std::to_string(i + 1) + ": ";
        const auto eq = line.find('=');
        const std::string key = line.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : line.substr(eq + 1);
        const auto dot = key.find('.');
        const std::string group = key.substr(0, dot);
        const std::string item = dot == std::string::npos ? std::string() : key.substr(dot + 1);
        if (eq == std::string::npos || (group != "header" && group != "footer"))
            return ctx.Usage(where + "expected header.font=F, header.N=TEXT, footer.font=F or footer.N=TEXT");
        if (seen[key]++) return ctx.Usage(where + key + " is given twice");
        TLinesWant& w = wanted[group];
        w.Field = group + ".font";
        long long n = 0;
        if (item == "font") {
            if (!ParseWhole(value, 0, 255, n)) return ctx.Usage(where + "the font is a number");
            w.Font = static_cast<int>(n);
        } else if (ParseWhole(item, 1, KKMLineCount, n)) {
            std::string why;
            if (!RegisterTextFits(value, 32, why)) return ctx.Usage(where + "the line " + why);
            w.Lines[static_cast<int>(n)] = value;
        } else {
            return ctx.Usage(where + "line numbers are 1..6");
        }
    }
    return CliOk;
}

int Set(TCliContext& ctx) {
    const std::string& path = ctx.Args[0];
    std::map<std::string, TLinesWant> wanted;
    if (JsonInputGiven(ctx)) {
        std::string body;
        TBodyError error;
        if (!ReadInputFile(ctx, path, body)) return OpsFailed;
        if (!ParseLinesInput(body, wanted, error)) return ctx.Usage(path + ": " + error.Text, error.Field);
    } else if (ReadTextFile(ctx, path, wanted) != CliOk) {
        return OpsFailed;
    }
    if (wanted.empty()) return ctx.Usage(path + ": no lines in it");
    nlohmann::json report;
    const int status = WriteLines(ctx, wanted, report);
    return ReportWrite(ctx, status, report, "lines", [&](const nlohmann::json& r) {
        for (const char* key : {"header", "footer"}) {
            if (!r.contains(key) || !r[key]["changed"].get<bool>()) continue;
            if (r["check"].get<bool>()) ctx.Out << key << " would change\n";
        }
        for (const auto& key : r["written"]) ctx.Out << key.get<std::string>() << " written and confirmed\n";
    });
}

}  // namespace

void AddLinesCommands() {
    AddCliCommand({"lines get", "", "the receipt header and footer lines with their fonts",
                   "Text: the file form lines set reads:\n"
                   "  header.font=F\n  header.1=TEXT ... header.6=TEXT\n"
                   "  footer.font=F\n  footer.1=TEXT ... footer.6=TEXT\n"
                   "Each group is printed in one font, the font of its first line.\n",
                   true, 0, 0, Get});
    AddCliCommand({"lines set", "FILE|FILE.json [--check]", "write header and footer lines from FILE (- for standard input)",
                   "FILE is UTF-8 text of KEY=VALUE lines, as lines get prints them:\n"
                   "  header.font=3\n"
                   "  header.1=   ООО \"Ромашка\"\n"
                   "  footer.2=Спасибо за покупку!\n"
                   "The text is everything after \"=\", blanks included: at most 32 characters of\n"
                   "code page 1251. A font is 0 up to the model's last font. A group (header or\n"
                   "footer) is written only when the file names one of its keys; its lines and\n"
                   "font not in the file keep what the register holds. Empty lines and lines\n"
                   "starting with # are skipped. The file is checked before anything is written;\n"
                   "only the lines that differ from the register's are written (all of a group\n"
                   "whose font changes), and each group is read back after writing.\n"
                   "FILE.json (or - with --json) holds what --json lines get prints; a group\n"
                   "left out, or a line given as null, stays as it is.\n"
                   "With --check nothing is written: the changes are only shown. With --json\n"
                   "the report is {changed, check, header: {before, after, changed}, footer}.\n",
                   true, 1, 1, Set});
}
