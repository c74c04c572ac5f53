// goods get.
#include "cli/CliCommand.h"

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
    if (!ctx.Do(&TProtocolKKM::GetTOBAP, static_cast<int>(code), "reading goods " + std::to_string(code)))
        return CliFailed;
    const TKKMInfo& info = ctx.Info();
    const std::uint8_t* g = info.Goods;
    const bool weighable = g[0] == 0xAA;
    const std::string tax = g[42] >= 1 && g[42] <= 5 ? std::string(1, static_cast<char>('A' + g[42] - 1)) : "-";
    const std::string price = info.GoodsPrice.IsValid() ? DigitsFixedText(info.GoodsPrice.ToStr()) : "invalid";
    const std::string sold = info.GoodsCount.IsValid() ? DigitsFixedText(info.GoodsCount.ToStr(), 3) : "0.000";
    const std::string soldBy = weighable ? ((g[1] & 1) ? "piece" : "weight") : "-";
    const std::string barcode = weighable && info.GoodsShtrih.IsValid() ? info.GoodsShtrih.ToStr() : "";
    const bool blocked = (g[1] & 2) != 0;
    const std::string name = BytesToStr(g + 5, 32);
    if (ctx.Options.Json) {
        ctx.PrintJson({{"code", info.GoodsCode.ToStr()},
                       {"type", TypeWord(g[0])},
                       {"name", name},
                       {"price", price},
                       {"taxGroup", tax},
                       {"section", g[43]},
                       {"soldBy", soldBy},
                       {"barcode", barcode == "0" ? "" : barcode},
                       {"blocked", blocked},
                       {"sold", sold}});
        return CliOk;
    }
    ctx.Out << "code: " << info.GoodsCode.ToStr() << "\n"
            << "type: " << TypeWord(g[0]) << "\n"
            << "name: " << name << "\n"
            << "price: " << price << "\n"
            << "tax group: " << tax << "\n"
            << "section: " << int(g[43]) << "\n"
            << "sold by: " << soldBy << "\n"
            << "barcode: " << (barcode == "0" ? "" : barcode) << "\n"
            << "blocked: " << (blocked ? "yes" : "no") << "\n"
            << "sold: " << sold << "\n";
    return CliOk;
}

}  // namespace

void AddGoodsCommands() {
    AddCliCommand({"goods get", "CODE", "one goods record by its code (0..9999)",
                   "Text: code, type (goods, service, container), name, price in roubles, tax\n"
                   "group (A..E, - for none), section, sold by piece or weight (goods only),\n"
                   "barcode, blocked, and the quantity sold. A code the register does not hold\n"
                   "ends with status 1 and the register's text.\n",
                   true, 1, 1, Get});
}
