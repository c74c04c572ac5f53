// goods get.
#include "cli/CliCommand.h"
#include "ops/RegisterOps.h"

#include "ops/OpsText.h"
#include "kkm/KKMCommands.h"

#include <ostream>

namespace {

int Get(TCliContext& ctx) {
    long long code = 0;
    if (!ParseWhole(ctx.Args[0], 0, MaxSingleGoodsCode, code))
        return ctx.Usage("\"" + ctx.Args[0] + "\": a goods code is 0..9999");
    return PrintWork(
        ctx, [code](TOpsContext& c, nlohmann::json& doc) { return GoodsJson(c, static_cast<int>(code), doc); },
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

void AddGoodsCommands() {
    AddCliCommand({"goods get", "CODE", "one goods record by its code (0..9999)",
                   "Text: code, type (goods, service, container), name, price in roubles, tax\n"
                   "group (A..E, - for none), section, sold by piece or weight (goods only),\n"
                   "barcode, blocked, and the quantity sold. A code the register does not hold\n"
                   "ends with status 1 and the register's text.\n",
                   true, 1, 1, Get});
}
