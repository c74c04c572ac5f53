// The register's five taxes.
#include "ops/RegisterOps.h"

#include <cstdio>
#include <ostream>

int TaxesJson(TOpsContext& ctx, nlohmann::json& list) {
    list = nlohmann::json::array();
    for (int n = 1; n <= KKMTaxCount; ++n) {
        if (!ctx.Do(&TProtocolKKM::GetTax, n, "reading tax " + std::to_string(n))) return OpsFailed;
        const TTaxRec& t = ctx.Info().Taxes[n - 1];
        const bool defined = t.Defined == 0xAA;
        nlohmann::json tax = {{"number", n}, {"group", std::string(1, static_cast<char>('A' + n - 1))}, {"defined", defined}};
        if (defined) {
            tax["type"] = t.Type;
            tax["percent"] = t.Percent;
            tax["name"] = t.Name;
        }
        list.push_back(tax);
    }
    return OpsOk;
}
