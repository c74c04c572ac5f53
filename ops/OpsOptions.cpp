// The register's options: read with their ranges, and written.

#include "ops/RegisterOps.h"
#include "ops/OpsText.h"

#include <map>
#include <ostream>

namespace {

// Identity first: it loads the model's option descriptions and ranges.
bool ReadOptions(TOpsContext& ctx) {
    return ctx.Do(&TProtocolKKM::GetKKMInfo, "reading the register's identity") &&
           ctx.Do(&TProtocolKKM::GetOptions, "reading the options");
}

bool InRange(const TOptionsInfo& o, long long v) { return (v >= o.Min && v <= o.Max) || (v == 0 && o.LeadingZero); }

std::string RangeText(const TOptionsInfo& o) {
    return (o.LeadingZero && o.Min != 0 ? "0; " : "") + std::to_string(o.Min) + ".." + std::to_string(o.Max);
}

}  // namespace

int OptionsJson(TOpsContext& ctx, nlohmann::json& doc) {
    if (!ReadOptions(ctx)) return OpsFailed;
    const TKKMInfo& info = ctx.Info();
    nlohmann::json list = nlohmann::json::array();
    for (int n = 1; n <= info.OptionCount; ++n) {
        const TOptionsInfo& o = info.Options[n - 1];
        const int value = info.OptionValues[n - 1];
        list.push_back({{"number", n},
                        {"value", value},
                        {"min", o.Min},
                        {"max", o.Max},
                        {"zeroAllowed", o.LeadingZero},
                        {"default", o.Def},
                        {"caption", o.Caption},
                        {"inRange", InRange(o, value)}});
    }
    doc = {{"count", info.OptionCount}, {"options", list}};
    return OpsOk;
}

int WriteOptions(TOpsContext& ctx, const std::vector<TOptionWant>& wanted, nlohmann::json& report) {
    std::map<int, const TOptionWant*> byNumber;
    for (const auto& w : wanted)
        if (!byNumber.emplace(w.Number, &w).second)
            return ctx.Usage("option " + std::to_string(w.Number) + " is given twice", w.Field);
    if (!ReadOptions(ctx)) return OpsFailed;
    TKKMInfo& info = ctx.Info();
    std::map<int, int> before;
    bool differs = false;
    for (const auto& [n, w] : byNumber) {
        if (n > info.OptionCount)
            return ctx.Usage("option " + std::to_string(n) + ": this register has " +
                             std::to_string(info.OptionCount) + " options", w->Field);
        before[n] = info.OptionValues[n - 1];
        if (before[n] == w->Value) continue;  // what the register holds is not checked again
        differs = true;
        if (!InRange(info.Options[n - 1], w->Value))
            return ctx.Usage("option " + std::to_string(n) + ": " + std::to_string(w->Value) + " is outside " +
                             RangeText(info.Options[n - 1]) + " (" + info.Options[n - 1].Caption + ")", w->Field);
    }
    // The options go out in one command, and only when one of them differs.
    const bool send = differs && !ctx.Options.Check;
    if (send) {
        for (const auto& [n, w] : byNumber) info.OptionValues[n - 1] = static_cast<std::uint8_t>(w->Value);
        if (!ctx.Do(&TProtocolKKM::SetOptions, "writing the options") ||
            !ctx.Do(&TProtocolKKM::GetOptions, "reading the options back"))
            return OpsFailed;
    }
    int status = OpsOk;
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [n, w] : byNumber) {
        const int after = send ? info.OptionValues[n - 1] : ctx.Options.Check ? w->Value : before[n];
        if (after != w->Value)
            status = ctx.Fail(TOpsKind::NotKept, "option " + std::to_string(n) + " reads back as " + std::to_string(after) +
                                                     ", not " + std::to_string(w->Value));
        list.push_back({{"number", n},
                        {"before", before[n]},
                        {"after", after},
                        {"changed", after != before[n]},
                        {"value", w->Value},
                        {"kept", after}});
    }
    report = {{"changed", differs}, {"check", ctx.Options.Check}, {"options", list}, {"confirmed", status == OpsOk}};
    return status;
}
