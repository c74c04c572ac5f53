// The work of the register commands, shared by the tool and the HTTP
// service: each reads or writes through the context and gives the JSON
// document the tool prints with --json. The result is an exit status; a
// failure has been said on ctx.Err (a usage error names its input in
// ctx.ErrorField). The tool prints text or JSON from the document, the
// service answers with it.
#pragma once
#include "cli/CliCommand.h"

#include <map>
#include <string>
#include <vector>

// A reading command: the work's document printed as JSON with --json, else
// as text makes it; the work's status.
int PrintWork(TCliContext& ctx, const std::function<int(TCliContext&, nlohmann::json&)>& work,
              const std::function<void(const nlohmann::json&)>& text);

// The serial ports: [{port, device, busy}].
nlohmann::json PortsJson();

int InfoJson(TCliContext& ctx, nlohmann::json& doc);
int TaxesJson(TCliContext& ctx, nlohmann::json& doc);
int GoodsJson(TCliContext& ctx, int code, nlohmann::json& doc);

int OptionsJson(TCliContext& ctx, nlohmann::json& doc);
struct TOptionWant {
    int Number = 0;  // 1..64
    int Value = 0;   // 0..255
    std::string Field;  // the input it came from, for errors
};
// Checks the wanted values against the register's ranges (usage error with
// the item's field), writes, reads back: {options: [{number, before, value}],
// confirmed}. CliFailed, after saying which, when the register kept another
// value.
int WriteOptions(TCliContext& ctx, const std::vector<TOptionWant>& wanted, nlohmann::json& report);

int DepartmentsJson(TCliContext& ctx, nlohmann::json& doc);
struct TDepartmentWant {
    int Number = 0;
    std::uint8_t Kind = 0;  // DepKindClosed, DepKindGoods, DepKindService
    std::string Name;
    std::string NG;       // "A".."E", empty for none
    long long Price = 0;  // kopecks
    std::string Field;
};
// "goods", "service", "closed" as a kind; false for anything else.
bool DepartmentKind(const std::string& word, std::uint8_t& kind);
// The checks of a department's name, tax group ("A".."E", "-" or empty) and
// price text; false with the reason and the part at fault ("name",
// "taxGroup", "price").
bool CheckDepartment(const std::string& name, const std::string& tax, const std::string& price, TDepartmentWant& dep,
                     std::string& why, std::string& part);
// Writes and reads back each: {departments: [{number, confirmed}], confirmed}.
int WriteDepartments(TCliContext& ctx, const std::vector<TDepartmentWant>& wanted, nlohmann::json& report);

int LinesJson(TCliContext& ctx, nlohmann::json& doc);
struct TLinesWant {
    int Font = -1;  // -1: keep the register's
    std::map<int, std::string> Lines;  // line number 1..6: text
    std::string Field;
};
// "header" and/or "footer": {written: [...], confirmed}.
int WriteLines(TCliContext& ctx, const std::map<std::string, TLinesWant>& wanted, nlohmann::json& report);

class TMemTable;
// goods read-all into a goods exchange file: {file, records, serialNumber}.
int ReadAllGoods(TCliContext& ctx, const std::string& path, nlohmann::json& doc);
// Reads a goods exchange file into the table; a usage error (field "body")
// names the line and field at fault.
int CheckGoodsFile(TCliContext& ctx, const std::string& path, TMemTable& table);
// goods write-all from a goods exchange file, checked whole first, read back:
// {records, serialNumber, confirmed, notWrittenPastCapacity}.
int WriteAllGoods(TCliContext& ctx, const std::string& path, nlohmann::json& doc);
// The journal: {operations, text, source} with what arrived, also after a
// stop (stopped set) or a failure.
int ReadJournal(TCliContext& ctx, nlohmann::json& doc, bool& stopped);
// The registers found on the ports of ctx.Options.Ports (all when empty) at
// its speed first and its network number or all: [{port, device, speed, net,
// model, serialNumber, version}]; CliUsage for a bad port list.
int SearchJson(TCliContext& ctx, nlohmann::json& list);

// The profile store of the working directory: {store, profiles: [{name,
// kind, serialNumber, version, key}]}.
int ProfilesJson(TCliContext& ctx, nlohmann::json& doc);
// The register's settings stored as the template name of its version, or as
// its saved profile: {key, name, serialNumber, version, store, and the counts
// options, departments, headerLines, footerLines, taxes}.
int SaveProfileJson(TCliContext& ctx, std::string name, bool saved, nlohmann::json& doc);
// A stored profile written to the register and read back: {name,
// serialNumber, confirmed, options, departments, headerLines, footerLines}.
int ApplyProfileJson(TCliContext& ctx, const std::string& name, nlohmann::json& doc);
// Removes the stored profile with that key (a usage error when none has it):
// {deleted, name}.
int DeleteProfileKey(TCliContext& ctx, const std::string& key, nlohmann::json& doc);
