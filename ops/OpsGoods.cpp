// One goods record by its code.
#include "ops/RegisterOps.h"

#include "ops/OpsText.h"
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

}  // namespace

int GoodsJson(TOpsContext& ctx, int code, nlohmann::json& doc) {
    if (!ctx.Do(&TProtocolKKM::GetTOBAP, code, "reading goods " + std::to_string(code))) return OpsFailed;
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
    return OpsOk;
}
