// departments get, departments set.
#include "cli/CliCommand.h"

#include "cli/CliWriteInput.h"
#include "ops/OpsInput.h"
#include "ops/RegisterOps.h"
#include "ops/OpsText.h"
#include "kkm/KKMCommands.h"

#include <cmath>
#include <map>
#include <ostream>

namespace {

int Get(TCliContext& ctx) {
    return PrintWork(ctx, DepartmentsJson, [&](const nlohmann::json& list) {
        for (const auto& d : list) {
            // A line must read back through departments set: what the register
            // cannot take back (a line break would also split the line) is left
            // out, and said so.
            const std::string held = d["name"].get<std::string>();
            std::string dropped;
            const std::string name = RegisterTakesBack(held, dropped);
            if (!dropped.empty())
                ctx.Say("department " + std::to_string(d["number"].get<int>()) + ": left out of the name, as the "
                        "register cannot take it back: " + dropped);
            ctx.Out << d["number"].get<int>() << ";" << d["kind"].get<std::string>() << ";" << name << ";"
                    << d["taxGroup"].get<std::string>() << ";" << d["price"].get<std::string>() << "\n";
        }
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

// A department's line as departments get prints it.
std::string DepartmentLine(const nlohmann::json& d) {
    std::string line = std::to_string(d["number"].get<int>()) + ";" + d["kind"].get<std::string>();
    if (d["kind"] != "closed")
        line += ";" + d["name"].get<std::string>() + ";" + d["taxGroup"].get<std::string>() + ";" +
                d["price"].get<std::string>();
    return line;
}

// The departments of a text file; false after saying what is wrong.
bool ReadTextFile(TCliContext& ctx, const std::string& path, std::vector<TDepartmentWant>& wanted) {
    std::vector<std::string> lines;
    std::string error;
    if (!ReadTextLines(path, lines, error)) {
        ctx.Fail(TOpsKind::FileError, error);
        return false;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == '#') continue;
        TDepartmentWant dep;
        std::string why;
        dep.Field = path + ":" + std::to_string(i + 1);
        if (!ParseLine(line, dep, why)) {
            ctx.Usage(dep.Field + ": " + why, dep.Field);
            return false;
        }
        wanted.push_back(dep);
    }
    return true;
}

int Set(TCliContext& ctx) {
    const std::string& path = ctx.Args[0];
    std::vector<TDepartmentWant> wanted;
    if (JsonInputGiven(ctx)) {
        std::string body;
        TBodyError error;
        if (!ReadInputFile(ctx, path, body)) return OpsFailed;
        if (!ParseDepartmentsInput(body, wanted, error)) return ctx.Usage(path + ": " + error.Text, error.Field);
    } else if (!ReadTextFile(ctx, path, wanted)) {
        return OpsFailed;
    }
    if (wanted.empty()) return ctx.Usage(path + ": no departments in it");
    nlohmann::json report;
    const int status = WriteDepartments(ctx, wanted, report);
    return ReportWrite(ctx, status, report, "departments", [&](const nlohmann::json& r) {
        for (const auto& d : r["departments"]) {
            if (!d["changed"].get<bool>()) continue;
            if (r["check"].get<bool>())
                ctx.Out << "department " << d["number"].get<int>() << ": " << DepartmentLine(d["before"]) << " -> "
                        << DepartmentLine(d["after"]) << "\n";
            else if (d["confirmed"].get<bool>())
                ctx.Out << "department " << d["number"].get<int>() << " written and confirmed\n";
        }
    });
}

}  // namespace

void AddDepartmentsCommands() {
    AddCliCommand({"departments get", "", "the departments, in the file form departments set reads",
                   "Text: one line per department of the register's model:\n"
                   "  number;kind;name;tax group;price\n"
                   "kind is goods, service or closed; tax group A..E or - for none; price in\n"
                   "roubles, like 12.50 (0.00: the price is entered at the sale). A name holding\n"
                   "characters the register cannot take back (a line break, \"№\") is printed\n"
                   "without them, and standard error says which were left out; --json keeps them.\n",
                   true, 0, 0, Get});
    AddCliCommand({"departments set", "FILE|FILE.json [--check]", "write the departments listed in FILE (- for standard input)",
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
                   "written; only the departments that differ from the register's are written,\n"
                   "and each is read back after writing.\n"
                   "FILE.json (or - with --json) holds what --json departments get prints.\n"
                   "With --check nothing is written: the changes are only shown. With --json\n"
                   "the report is {changed, check, departments: [{number, before, after,\n"
                   "changed}]}.\n",
                   true, 1, 1, Set});
}
