// departments get, departments set.
#include "cli/CliCommand.h"

#include "cli/CliRegisterWork.h"
#include "cli/CliText.h"
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

bool ReadCount(TCliContext& ctx) { return ctx.Do(&TProtocolKKM::GetKKMInfo, "reading the register's identity"); }

int DepCount(TCliContext& ctx) {
    const int n = ctx.Info().GetMaxCountDepat();
    return n < 0 ? 0 : n > KKMDepCount ? KKMDepCount : n;
}

int Get(TCliContext& ctx) {
    return PrintWork(ctx, DepartmentsJson, [&](const nlohmann::json& list) {
        for (const auto& d : list)
            ctx.Out << d["number"].get<int>() << ";" << d["kind"].get<std::string>() << ";" << d["name"].get<std::string>()
                    << ";" << d["taxGroup"].get<std::string>() << ";" << d["price"].get<std::string>() << "\n";
    });
}

// One line of a departments file; false with the reason.
bool ParseLine(const std::string& line, TDepartmentWant& dep, std::string& why) {
    std::vector<std::string> f;
    std::size_t from = 0;
    for (;;) {
        const auto semi = line.find(';', from);
        f.push_back(line.substr(from, semi == std::string::npos ? std::string::npos : semi - from));
        if (semi == std::string::npos) break;
        from = semi + 1;
    }
    long long n = 0;
    if (!ParseWhole(f[0], 1, KKMDepCount, n)) {
        why = "the department number must be 1..16";
        return false;
    }
    dep.Number = static_cast<int>(n);
    if (!DepartmentKind(f.size() > 1 ? f[1] : "", dep.Kind)) {
        why = "the kind must be goods, service or closed";
        return false;
    }
    if (dep.Kind == DepKindClosed) return true;
    if (f.size() < 5) {
        why = "expected number;kind;name;tax group;price";
        return false;
    }
    std::string name;
    for (std::size_t i = 2; i + 2 < f.size(); ++i) name += (i > 2 ? ";" : "") + f[i];  // a name may hold ";"
    std::string part;
    return CheckDepartment(name, f[f.size() - 2], f.back(), dep, why, part);
}

bool SameDepartment(const TDepRec& d, const TDepartmentWant& want) {
    if (d.Kind != want.Kind) return false;
    if (want.Kind == DepKindClosed) return true;
    const std::string ng = want.NG.empty() ? "@" : want.NG;
    return d.Name == want.Name && d.NG == ng && Kopecks(d.Price) == want.Price;
}

int Set(TCliContext& ctx) {
    const std::string& path = ctx.Args[0];
    std::vector<std::string> lines;
    std::string error;
    if (!ReadTextLines(path, lines, error)) return ctx.Usage(error);
    std::vector<TDepartmentWant> wanted;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == '#') continue;
        TDepartmentWant dep;
        std::string why;
        dep.Field = path + ":" + std::to_string(i + 1);
        if (!ParseLine(line, dep, why)) return ctx.Usage(dep.Field + ": " + why);
        wanted.push_back(dep);
    }
    if (wanted.empty()) return ctx.Usage(path + ": no departments in it");
    nlohmann::json report;
    const int status = WriteDepartments(ctx, wanted, report);
    if (report.contains("departments"))
        for (const auto& d : report["departments"])
            if (d["confirmed"].get<bool>()) ctx.Out << "department " << d["number"].get<int>() << " written and confirmed\n";
    return status;
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

int DepartmentsJson(TCliContext& ctx, nlohmann::json& list) {
    if (!ReadCount(ctx)) return CliFailed;
    list = nlohmann::json::array();
    for (int n = 1; n <= DepCount(ctx); ++n) {
        if (!ctx.Do(&TProtocolKKM::GetDepatment, n, "reading department " + std::to_string(n))) return CliFailed;
        const TDepRec& d = ctx.Info().Deps[n - 1];
        list.push_back({{"number", n},
                        {"kind", KindWord(d.Kind)},
                        {"status", d.Status},
                        {"name", d.Name},
                        {"taxGroup", TaxWord(d)},
                        {"price", FixedText(Kopecks(d.Price))}});
    }
    return CliOk;
}

int WriteDepartments(TCliContext& ctx, const std::vector<TDepartmentWant>& wanted, nlohmann::json& report) {
    std::map<int, const TDepartmentWant*> byNumber;
    for (const auto& w : wanted)
        if (!byNumber.emplace(w.Number, &w).second)
            return ctx.Usage(w.Field + ": department " + std::to_string(w.Number) + " is given twice", w.Field);
    if (!ReadCount(ctx)) return CliFailed;
    for (const auto& [n, w] : byNumber)
        if (n > DepCount(ctx))
            return ctx.Usage("department " + std::to_string(n) + ": this register has " + std::to_string(DepCount(ctx)) +
                             " departments", w->Field);
    int status = CliOk;
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [n, want] : byNumber) {
        TDepRec& d = ctx.Info().Deps[n - 1];
        d.Kind = want->Kind;
        d.Status = DepKindText(want->Kind);
        d.Name = want->Kind == DepKindClosed ? "" : want->Name;
        d.NG = want->Kind == DepKindClosed ? "0" : want->NG;
        d.Price = want->Kind == DepKindClosed ? 0.0 : static_cast<double>(want->Price) / 100.0;
        const std::string what = "department " + std::to_string(n);
        if (!ctx.Do(&TProtocolKKM::SetDepatment, n, "writing " + what) ||
            !ctx.Do(&TProtocolKKM::GetDepatment, n, "reading " + what + " back")) {
            report = {{"departments", list}, {"confirmed", false}};
            return CliFailed;
        }
        const bool same = SameDepartment(ctx.Info().Deps[n - 1], *want);
        if (!same) {
            ctx.Err << "vornik-cli: " << what << " reads back differently from what was written\n";
            status = CliFailed;
        }
        list.push_back({{"number", n}, {"confirmed", same}});
    }
    report = {{"departments", list}, {"confirmed", status == CliOk}};
    return status;
}

void AddDepartmentsCommands() {
    AddCliCommand({"departments get", "", "the departments, in the file form departments set reads",
                   "Text: one line per department of the register's model:\n"
                   "  number;kind;name;tax group;price\n"
                   "kind is goods, service or closed; tax group A..E or - for none; price in\n"
                   "roubles, like 12.50 (0.00: the price is entered at the sale).\n",
                   true, 0, 0, Get});
    AddCliCommand({"departments set", "FILE", "write the departments listed in FILE (- for standard input)",
                   "FILE is UTF-8 text, one department per line, as departments get prints it:\n"
                   "  number;kind;name;tax group;price\n"
                   "  1;goods;Хлеб;A;0.00\n"
                   "  7;service;Доставка;B;150.00\n"
                   "  8;closed\n"
                   "number 1..16 (at most the register's departments); kind goods, service or\n"
                   "closed (a closed department needs nothing more); name at most 22 characters\n"
                   "of code page 1251; tax group A..E or - for none; price in roubles with at most\n"
                   "two decimals. Empty lines and lines starting with # are skipped. Departments\n"
                   "not listed stay as they are. The whole file is checked before anything is\n"
                   "written; each department is read back after writing.\n",
                   true, 1, 1, Set});
}
