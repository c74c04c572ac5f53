// The receipt header and footer lines with their fonts.

#include "ops/RegisterOps.h"
#include "ops/OpsText.h"

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

bool ReadGroup(TOpsContext& ctx, const TGroup& g) {
    for (int n = 1; n <= KKMLineCount; ++n)
        if (!ctx.Do(g.Get, n, std::string("reading ") + g.What + " " + std::to_string(n))) return false;
    return true;
}

}  // namespace

int LinesJson(TOpsContext& ctx, nlohmann::json& doc) {
    doc = nlohmann::json::object();
    for (const TGroup& g : kGroups) {
        if (!ReadGroup(ctx, g)) return OpsFailed;
        const TKKMInfo& info = ctx.Info();
        const int font = info.*g.Font;
        nlohmann::json lines = nlohmann::json::array();
        for (const auto& line : info.*g.Lines) lines.push_back(line);
        doc[g.Key] = {{"font", font}, {"fontName", info.GetFontName(font)}, {"lines", lines}};
    }
    return OpsOk;
}

namespace {

// A group as lines get gives it.
nlohmann::json GroupJson(const TKKMInfo& info, int font, const std::string (&lines)[KKMLineCount]) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& line : lines) list.push_back(line);
    return {{"font", font}, {"fontName", info.GetFontName(font)}, {"lines", list}};
}

}  // namespace

int WriteLines(TOpsContext& ctx, const std::map<std::string, TLinesWant>& wanted, nlohmann::json& report) {
    if (!ctx.Do(&TProtocolKKM::GetKKMInfo, "reading the register's identity")) return OpsFailed;
    const int lastFont = std::min(ctx.Info().maxCountFont, KKMFontNameCount - 1);
    for (const auto& [group, w] : wanted)
        if (w.Font > lastFont)
            return ctx.Usage(group + ".font: this model's fonts are 0.." + std::to_string(lastFont), w.Field);

    int status = OpsOk;
    bool differs = false;
    nlohmann::json written = nlohmann::json::array();
    report = {{"changed", false}, {"check", ctx.Options.Check}, {"written", written}, {"confirmed", false}};
    for (const TGroup& g : kGroups) {
        const auto it = wanted.find(g.Key);
        if (it == wanted.end()) continue;
        const TLinesWant& w = it->second;
        if (!ReadGroup(ctx, g)) return OpsFailed;  // lines not given keep their text
        TKKMInfo& info = ctx.Info();
        const std::uint8_t fontBefore = info.*g.Font;
        std::string before[KKMLineCount], expected[KKMLineCount];
        std::copy(std::begin(info.*g.Lines), std::end(info.*g.Lines), before);
        std::copy(std::begin(before), std::end(before), expected);
        for (const auto& [n, text] : w.Lines) expected[n - 1] = text;
        const std::uint8_t font = w.Font >= 0 ? static_cast<std::uint8_t>(w.Font) : fontBefore;
        // The font goes with every line: a new font rewrites them all, else
        // only the lines that differ are sent.
        std::vector<int> send;
        for (int n = 1; n <= KKMLineCount; ++n)
            if (font != fontBefore || expected[n - 1] != before[n - 1]) send.push_back(n);
        const nlohmann::json beforeJson = GroupJson(info, fontBefore, before);
        nlohmann::json afterJson = beforeJson;
        differs = differs || !send.empty();
        if (!send.empty() && ctx.Options.Check) {
            afterJson = GroupJson(info, font, expected);
        } else if (!send.empty()) {
            info.*g.Font = font;
            std::copy(std::begin(expected), std::end(expected), info.*g.Lines);
            for (int n : send)
                if (!ctx.Do(g.Set, n, std::string("writing ") + g.What + " " + std::to_string(n))) return OpsFailed;
            if (!ReadGroup(ctx, g)) return OpsFailed;
            afterJson = GroupJson(info, info.*g.Font, info.*g.Lines);
            if (afterJson == GroupJson(info, font, expected)) written.push_back(g.Key);
            else status = ctx.Fail(TOpsKind::NotKept, std::string("the ") + g.Key + " reads back differently from what was written");
        }
        report[g.Key] = {{"before", beforeJson}, {"after", afterJson}, {"changed", afterJson != beforeJson}};
        report["written"] = written;
    }
    report["changed"] = differs;
    report["confirmed"] = status == OpsOk;
    return status;
}
