// The departments: read, checked and written.

#include "ops/RegisterOps.h"
#include "ops/OpsText.h"
#include "kkm/KKMCommands.h"

#include <cmath>
#include <map>
#include <ostream>

namespace {

std::string KindWord(std::uint8_t kind) {
    return kind == DepKindGoods ? "goods" : kind == DepKindService ? "service" : "closed";
}

// The tax group as the file writes it: "A".."E", "-" for none.
std::string TaxWord(const TDepRec& d) { return d.NG >= "A" && d.NG <= "E" && d.NG.size() == 1 ? d.NG : "-"; }

long long Kopecks(double roubles) { return std::llround(roubles * 100); }

bool ReadCount(TOpsContext& ctx) { return ctx.Do(&TProtocolKKM::GetKKMInfo, "reading the register's identity"); }

int DepCount(TOpsContext& ctx) {
    const int n = ctx.Info().GetMaxCountDepat();
    return n < 0 ? 0 : n > KKMDepCount ? KKMDepCount : n;
}

bool SameDepartment(const TDepRec& d, const TDepartmentWant& want) {
    if (d.Kind != want.Kind) return false;
    if (want.Kind == DepKindClosed) return true;
    const std::string ng = want.NG.empty() ? "@" : want.NG;
    return d.Name == want.Name && d.NG == ng && Kopecks(d.Price) == want.Price;
}

// A department as departments get gives it.
nlohmann::json DepartmentJson(int n, const TDepRec& d) {
    return {{"number", n},
            {"kind", KindWord(d.Kind)},
            {"status", d.Status},
            {"name", d.Name},
            {"taxGroup", TaxWord(d)},
            {"price", FixedText(Kopecks(d.Price))}};
}

// The record as the register is to hold it.
TDepRec Wanted(TDepRec d, const TDepartmentWant& want) {
    d.Kind = want.Kind;
    d.Status = DepKindText(want.Kind);
    d.Name = want.Kind == DepKindClosed ? "" : want.Name;
    d.NG = want.Kind == DepKindClosed ? "0" : want.NG;
    d.Price = want.Kind == DepKindClosed ? 0.0 : static_cast<double>(want.Price) / 100.0;
    return d;
}

}  // namespace

bool DepartmentKind(const std::string& word, std::uint8_t& kind) {
    if (word == "goods") kind = DepKindGoods;
    else if (word == "service") kind = DepKindService;
    else if (word == "closed") kind = DepKindClosed;
    else return false;
    return true;
}

bool CheckDepartment(const std::string& name, const std::string& tax, const std::string& price, TDepartmentWant& dep,
                     std::string& why, std::string& part) {
    if (!RegisterTextFits(name, 22, why)) {
        why = "the name " + why;
        part = "name";
        return false;
    }
    dep.Name = name;
    if (tax == "-" || tax.empty()) {
        dep.NG.clear();
    } else if (tax.size() == 1 && tax[0] >= 'A' && tax[0] <= 'E') {
        dep.NG = tax;
    } else {
        why = "the tax group must be A..E or -";
        part = "taxGroup";
        return false;
    }
    if (!ParseMoney(price, dep.Price)) {
        why = "the price must be roubles with at most two decimals, like 12.50";
        part = "price";
        return false;
    }
    return true;
}

int DepartmentsJson(TOpsContext& ctx, nlohmann::json& list) {
    if (!ReadCount(ctx)) return OpsFailed;
    list = nlohmann::json::array();
    for (int n = 1; n <= DepCount(ctx); ++n) {
        if (!ctx.Do(&TProtocolKKM::GetDepatment, n, "reading department " + std::to_string(n))) return OpsFailed;
        list.push_back(DepartmentJson(n, ctx.Info().Deps[n - 1]));
    }
    return OpsOk;
}

int WriteDepartments(TOpsContext& ctx, const std::vector<TDepartmentWant>& wanted, nlohmann::json& report) {
    std::map<int, const TDepartmentWant*> byNumber;
    for (const auto& w : wanted)
        if (!byNumber.emplace(w.Number, &w).second)
            return ctx.Usage(w.Field + ": department " + std::to_string(w.Number) + " is given twice", w.Field);
    if (!ReadCount(ctx)) return OpsFailed;
    for (const auto& [n, w] : byNumber)
        if (n > DepCount(ctx))
            return ctx.Usage("department " + std::to_string(n) + ": this register has " + std::to_string(DepCount(ctx)) +
                             " departments", w->Field);
    // Read first: only the departments that differ are sent.
    int status = OpsOk;
    bool differs = false;
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [n, want] : byNumber) {
        const std::string what = "department " + std::to_string(n);
        if (!ctx.Do(&TProtocolKKM::GetDepatment, n, "reading " + what)) return OpsFailed;
        TDepRec& d = ctx.Info().Deps[n - 1];
        const nlohmann::json before = DepartmentJson(n, d);
        const bool same = SameDepartment(d, *want);
        differs = differs || !same;
        nlohmann::json after = before;
        bool kept = true;
        if (!same && ctx.Options.Check) {
            after = DepartmentJson(n, Wanted(d, *want));
        } else if (!same) {
            d = Wanted(d, *want);
            if (!ctx.Do(&TProtocolKKM::SetDepatment, n, "writing " + what) ||
                !ctx.Do(&TProtocolKKM::GetDepatment, n, "reading " + what + " back")) {
                report = {{"changed", true}, {"check", false}, {"departments", list}, {"confirmed", false}};
                return OpsFailed;
            }
            after = DepartmentJson(n, ctx.Info().Deps[n - 1]);
            kept = SameDepartment(ctx.Info().Deps[n - 1], *want);
            if (!kept) status = ctx.Fail(TOpsKind::NotKept, what + " reads back differently from what was written");
        }
        list.push_back({{"number", n}, {"before", before}, {"after", after}, {"changed", after != before}, {"confirmed", kept}});
    }
    report = {{"changed", differs}, {"check", ctx.Options.Check}, {"departments", list}, {"confirmed", status == OpsOk}};
    return status;
}
