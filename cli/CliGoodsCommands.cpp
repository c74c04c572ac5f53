// goods get.
#include "cli/CliCommand.h"
#include "cli/CliRegisterWork.h"

#include "cli/CliText.h"
#include "kkm/KKMCommands.h"

#include <ostream>

namespace {

std::string TypeWord(std::uint8_t type) {
    switch (type) {
        case 0xAA: return "goods";
        case 0xA5: return "service";
        case 0xA0: return "container";
        case 0x00: return "none";
        default: return "unknown";
    }
}

int Get(TCliContext& ctx) {
    long long code = 0;
    if (!ParseWhole(ctx.Args[0], 0, MaxSingleGoodsCode, code))
        return ctx.Usage("\"" + ctx.Args[0] + "\": a goods code is 0..9999");
    return PrintWork(
        ctx, [code](TCliContext& c, nlohmann::json& doc) { return GoodsJson(c, static_cast<int>(code), doc); },
        [&](const nlohmann::json& doc) {
            ctx.Out << "code: " << doc["code"].get<std::string>() << "\n"
                    << "type: " << doc["type"].get<std::string>() << "\n"
                    << "name: " << doc["name"].get<std::string>() << "\n"
                    << "price: " << doc["price"].get<std::string>() << "\n"
                    << "tax group: " << doc["taxGroup"].get<std::string>() << "\n"
                    << "section: " << doc["section"].get<int>() << "\n"
                    << "sold by: " << doc["soldBy"].get<std::string>() << "\n"
                    << "barcode: " << doc["barcode"].get<std::string>() << "\n"
                    << "blocked: " << (doc["blocked"].get<bool>() ? "yes" : "no") << "\n"
                    << "sold: " << doc["sold"].get<std::string>() << "\n";
        });
}

}  // namespace

int GoodsJson(TCliContext& ctx, int code, nlohmann::json& doc) {
    if (!ctx.Do(&TProtocolKKM::GetTOBAP, code, "reading goods " + std::to_string(code))) return CliFailed;
    const TKKMInfo& info = ctx.Info();
    const std::uint8_t* g = info.Goods;
    const bool weighable = g[0] == 0xAA;
    const std::string barcode = weighable && info.GoodsShtrih.IsValid() ? info.GoodsShtrih.ToStr() : "";
    doc = {{"code", info.GoodsCode.ToStr()},
           {"type", TypeWord(g[0])},
           {"name", BytesToStr(g + 5, 32)},
           {"price", info.GoodsPrice.IsValid() ? DigitsFixedText(info.GoodsPrice.ToStr()) : "invalid"},
           {"taxGroup", g[42] >= 1 && g[42] <= 5 ? std::string(1, static_cast<char>('A' + g[42] - 1)) : "-"},
           {"section", g[43]},
           {"soldBy", weighable ? ((g[1] & 1) ? "piece" : "weight") : "-"},
           {"barcode", barcode == "0" ? "" : barcode},
           {"blocked", (g[1] & 2) != 0},
           {"sold", info.GoodsCount.IsValid() ? DigitsFixedText(info.GoodsCount.ToStr(), 3) : "0.000"}};
    return CliOk;
}

void AddGoodsCommands() {
    AddCliCommand({"goods get", "CODE", "one goods record by its code (0..9999)",
                   "Text: code, type (goods, service, container), name, price in roubles, tax\n"
                   "group (A..E, - for none), section, sold by piece or weight (goods only),\n"
                   "barcode, blocked, and the quantity sold. A code the register does not hold\n"
                   "ends with status 1 and the register's text.\n",
                   true, 1, 1, Get});
}
