// lines get, lines set: the receipt header and footer lines with their fonts.
#include "cli/CliCommand.h"

#include "cli/CliRegisterWork.h"
#include "cli/CliText.h"

#include <algorithm>
#include <map>
#include <ostream>

namespace {

struct TGroup {
    const char* Key;   // "header", "footer"
    const char* What;  // for messages
    bool (TProtocolKKM::*Get)(int);
    bool (TProtocolKKM::*Set)(int);
    std::string (TKKMInfoData::*Lines)[KKMLineCount];
    std::uint8_t TKKMInfoData::*Font;
};

const TGroup kGroups[] = {
    {"header", "header line", &TProtocolKKM::GetTitle, &TProtocolKKM::SetTitle, &TKKMInfoData::Title,
     &TKKMInfoData::TitleFont},
    {"footer", "footer line", &TProtocolKKM::GetFooter, &TProtocolKKM::SetFooter, &TKKMInfoData::Footer,
     &TKKMInfoData::FooterFont},
};

bool ReadGroup(TCliContext& ctx, const TGroup& g) {
    for (int n = 1; n <= KKMLineCount; ++n)
        if (!ctx.Do(g.Get, n, std::string("reading ") + g.What + " " + std::to_string(n))) return false;
    return true;
}

int Get(TCliContext& ctx) {
    return PrintWork(ctx, LinesJson, [&](const nlohmann::json& doc) {
        for (const TGroup& g : kGroups) {
            const auto& group = doc[g.Key];
            ctx.Out << g.Key << ".font=" << group["font"].get<int>() << "\n";
            for (int n = 1; n <= KKMLineCount; ++n)
                ctx.Out << g.Key << "." << n << "=" << group["lines"][n - 1].get<std::string>() << "\n";
        }
    });
}

int Set(TCliContext& ctx) {
    const std::string& path = ctx.Args[0];
    std::vector<std::string> lines;
    std::string error;
    if (!ReadTextLines(path, lines, error)) return ctx.Usage(error);
    std::map<std::string, TLinesWant> wanted;
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
    if (wanted.empty()) return ctx.Usage(path + ": no lines in it");
    nlohmann::json report;
    const int status = WriteLines(ctx, wanted, report);
    if (report.contains("written"))
        for (const auto& key : report["written"]) ctx.Out << key.get<std::string>() << " written and confirmed\n";
    return status;
}

}  // namespace

int LinesJson(TCliContext& ctx, nlohmann::json& doc) {
    doc = nlohmann::json::object();
    for (const TGroup& g : kGroups) {
        if (!ReadGroup(ctx, g)) return CliFailed;
        const TKKMInfo& info = ctx.Info();
        const int font = info.*g.Font;
        nlohmann::json lines = nlohmann::json::array();
        for (const auto& line : info.*g.Lines) lines.push_back(line);
        doc[g.Key] = {{"font", font}, {"fontName", info.GetFontName(font)}, {"lines", lines}};
    }
    return CliOk;
}

int WriteLines(TCliContext& ctx, const std::map<std::string, TLinesWant>& wanted, nlohmann::json& report) {
    if (!ctx.Do(&TProtocolKKM::GetKKMInfo, "reading the register's identity")) return CliFailed;
    const int lastFont = std::min(ctx.Info().maxCountFont, KKMFontNameCount - 1);
    for (const auto& [group, w] : wanted)
        if (w.Font > lastFont)
            return ctx.Usage(group + ".font: this model's fonts are 0.." + std::to_string(lastFont), w.Field);

    int status = CliOk;
    nlohmann::json written = nlohmann::json::array();
    report = {{"written", written}, {"confirmed", false}};
    for (const TGroup& g : kGroups) {
        const auto it = wanted.find(g.Key);
        if (it == wanted.end()) continue;
        const TLinesWant& w = it->second;
        if (!ReadGroup(ctx, g)) return CliFailed;  // lines not in the file keep their text
        TKKMInfo& info = ctx.Info();
        if (w.Font >= 0) info.*g.Font = static_cast<std::uint8_t>(w.Font);
        for (const auto& [n, text] : w.Lines) (info.*g.Lines)[n - 1] = text;
        const std::uint8_t font = info.*g.Font;
        std::string expected[KKMLineCount];
        std::copy(std::begin(info.*g.Lines), std::end(info.*g.Lines), expected);
        for (int n = 1; n <= KKMLineCount; ++n)
            if (!ctx.Do(g.Set, n, std::string("writing ") + g.What + " " + std::to_string(n))) return CliFailed;
        if (!ReadGroup(ctx, g)) return CliFailed;
        bool same = info.*g.Font == font;
        for (int n = 1; n <= KKMLineCount; ++n) same = same && (info.*g.Lines)[n - 1] == expected[n - 1];
        if (same) {
            written.push_back(g.Key);
        } else {
            ctx.Err << "vornik-cli: the " << g.Key << " reads back differently from what was written\n";
            status = CliFailed;
        }
        report = {{"written", written}, {"confirmed", false}};
    }
    report["confirmed"] = status == CliOk;
    return status;
}

void AddLinesCommands() {
    AddCliCommand({"lines get", "", "the receipt header and footer lines with their fonts",
                   "Text: the file form lines set reads:\n"
                   "  header.font=F\n  header.1=TEXT ... header.6=TEXT\n"
                   "  footer.font=F\n  footer.1=TEXT ... footer.6=TEXT\n"
                   "Each group is printed in one font, the font of its first line.\n",
                   true, 0, 0, Get});
    AddCliCommand({"lines set", "FILE", "write header and footer lines from FILE (- for standard input)",
                   "FILE is UTF-8 text of KEY=VALUE lines, as lines get prints them:\n"
                   "  header.font=3\n"
                   "  header.1=   ООО \"Ромашка\"\n"
                   "  footer.2=Спасибо за покупку!\n"
                   "The text is everything after \"=\", blanks included: at most 32 characters of\n"
                   "code page 1251. A font is 0 up to the model's last font. A group (header or\n"
                   "footer) is written only when the file names one of its keys; its lines and\n"
                   "font not in the file keep what the register holds. Empty lines and lines\n"
                   "starting with # are skipped. The file is checked before anything is written;\n"
                   "each group is read back after writing.\n",
                   true, 1, 1, Set});
}
