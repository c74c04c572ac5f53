// departments get, departments set.
#include "cli/CliCommand.h"

#include "cli/CliText.h"
#include "kkm/KKMCommands.h"

#include <cmath>
#include <map>
#include <ostream>

namespace {

struct TDepLine {
    std::uint8_t Kind = DepKindClosed;
    std::string Name;
    std::string NG;  // "A".."E", empty for none
    long long Price = 0;  // kopecks
};

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
    if (!ReadCount(ctx)) return CliFailed;
    nlohmann::json list = nlohmann::json::array();
    for (int n = 1; n <= DepCount(ctx); ++n) {
        if (!ctx.Do(&TProtocolKKM::GetDepatment, n, "reading department " + std::to_string(n))) return CliFailed;
        const TDepRec& d = ctx.Info().Deps[n - 1];
        const std::string price = FixedText(Kopecks(d.Price));
        if (ctx.Options.Json)
            list.push_back({{"number", n},
                            {"kind", KindWord(d.Kind)},
                            {"status", d.Status},
                            {"name", d.Name},
                            {"taxGroup", TaxWord(d)},
                            {"price", price}});
        else
            ctx.Out << n << ";" << KindWord(d.Kind) << ";" << d.Name << ";" << TaxWord(d) << ";" << price << "\n";
    }
    if (ctx.Options.Json) ctx.PrintJson(list);
    return CliOk;
}

// One line of a departments file; false with the reason.
bool ParseLine(const std::string& line, int& number, TDepLine& dep, std::string& why) {
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
    number = static_cast<int>(n);
    const std::string kind = f.size() > 1 ? f[1] : "";
    if (kind == "closed") {
        dep = TDepLine{};
        return true;
    }
    if (kind != "goods" && kind != "service") {
        why = "the kind must be goods, service or closed";
        return false;
    }
    if (f.size() < 5) {
        why = "expected number;kind;name;tax group;price";
        return false;
    }
    dep.Kind = kind == "goods" ? DepKindGoods : DepKindService;
    dep.Name.clear();
    for (std::size_t i = 2; i + 2 < f.size(); ++i) dep.Name += (i > 2 ? ";" : "") + f[i];  // a name may hold ";"
    if (!RegisterTextFits(dep.Name, 22, why)) {
        why = "the name " + why;
        return false;
    }
    const std::string tax = f[f.size() - 2];
    if (tax == "-" || tax.empty()) {
        dep.NG.clear();
    } else if (tax.size() == 1 && tax[0] >= 'A' && tax[0] <= 'E') {
        dep.NG = tax;
    } else {
        why = "the tax group must be A..E or -";
        return false;
    }
    if (!ParseMoney(f.back(), dep.Price)) {
        why = "the price must be roubles with at most two decimals, like 12.50";
        return false;
    }
    return true;
}

bool SameDepartment(const TDepRec& d, const TDepLine& want) {
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
    std::map<int, TDepLine> wanted;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == '#') continue;
        int n = 0;
        TDepLine dep;
        std::string why;
        const std::string where = path + ":" + std::to_string(i + 1) + ": ";
        if (!ParseLine(line, n, dep, why)) return ctx.Usage(where + why);
        if (!wanted.emplace(n, dep).second) return ctx.Usage(where + "department " + std::to_string(n) + " is given twice");
    }
    if (wanted.empty()) return ctx.Usage(path + ": no departments in it");
    if (!ReadCount(ctx)) return CliFailed;
    for (const auto& [n, dep] : wanted)
        if (n > DepCount(ctx))
            return ctx.Usage("department " + std::to_string(n) + ": this register has " + std::to_string(DepCount(ctx)) +
                             " departments");
    int status = CliOk;
    for (const auto& [n, want] : wanted) {
        TDepRec& d = ctx.Info().Deps[n - 1];
        d.Kind = want.Kind;
        d.Status = DepKindText(want.Kind);
        d.Name = want.Name;
        d.NG = want.Kind == DepKindClosed ? "0" : want.NG;
        d.Price = static_cast<double>(want.Price) / 100.0;
        const std::string what = "department " + std::to_string(n);
        if (!ctx.Do(&TProtocolKKM::SetDepatment, n, "writing " + what) ||
            !ctx.Do(&TProtocolKKM::GetDepatment, n, "reading " + what + " back"))
            return CliFailed;
        if (SameDepartment(ctx.Info().Deps[n - 1], want)) {
            ctx.Out << what << " written and confirmed\n";
        } else {
            ctx.Err << "vornik-cli: " << what << " reads back differently from what was written\n";
            status = CliFailed;
        }
    }
    return status;
}

}  // namespace

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
