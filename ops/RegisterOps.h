// The register operations the tool and the HTTP service share: each reads
// or writes through the context and gives its result as a JSON document (the
// one the tool prints with --json). The result is OpsOk or OpsFailed; a
// failure has been said on ctx.Err and left in ctx.Error with its kind (a bad
// input names its field there).
#pragma once
#include "ops/OpsContext.h"

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

// The serial ports: [{port, device, busy}].
nlohmann::json PortsJson();

int InfoJson(TOpsContext& ctx, nlohmann::json& doc);
int TaxesJson(TOpsContext& ctx, nlohmann::json& doc);
int GoodsJson(TOpsContext& ctx, int code, nlohmann::json& doc);

int OptionsJson(TOpsContext& ctx, nlohmann::json& doc);
struct TOptionWant {
    int Number = 0;  // 1..64
    int Value = 0;   // 0..255
    std::string Field;  // the input it came from, for errors
};
// Checks the wanted values against the register's ranges (usage error with
// the item's field), writes, reads back: {options: [{number, before, value}],
// confirmed}. OpsFailed, after saying which, when the register kept another
// value.
int WriteOptions(TOpsContext& ctx, const std::vector<TOptionWant>& wanted, nlohmann::json& report);

int DepartmentsJson(TOpsContext& ctx, nlohmann::json& doc);
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
int WriteDepartments(TOpsContext& ctx, const std::vector<TDepartmentWant>& wanted, nlohmann::json& report);

int LinesJson(TOpsContext& ctx, nlohmann::json& doc);
struct TLinesWant {
    int Font = -1;  // -1: keep the register's
    std::map<int, std::string> Lines;  // line number 1..6: text
    std::string Field;
};
// "header" and/or "footer": {written: [...], confirmed}.
int WriteLines(TOpsContext& ctx, const std::map<std::string, TLinesWant>& wanted, nlohmann::json& report);

class TMemTable;
// goods read-all into a goods exchange file: {file, records, serialNumber}.
int ReadAllGoods(TOpsContext& ctx, const std::string& path, nlohmann::json& doc);
// Reads a goods exchange file into the table; a usage error (field "body")
// names the line and field at fault.
int CheckGoodsFile(TOpsContext& ctx, const std::string& path, TMemTable& table);
// goods write-all from a goods exchange file, checked whole first, read back:
// {records, serialNumber, confirmed, notWrittenPastCapacity}.
int WriteAllGoods(TOpsContext& ctx, const std::string& path, nlohmann::json& doc);
// The journal: {operations, text, source} with what arrived, also after a
// stop (stopped set) or a failure.
int ReadJournal(TOpsContext& ctx, nlohmann::json& doc, bool& stopped);
// The registers found on the ports of ctx.Options.Ports (all when empty) at
// its speed first and its network number or all: [{port, device, speed, net,
// model, serialNumber, version}]; a bad input for a bad port list.
int SearchJson(TOpsContext& ctx, nlohmann::json& list);

class TProfileStore;
// Whether the store has been made in this working directory (reading
// commands do not make it).
bool ProfileStoreExists(const TProfileStore& store);
// The profile store of the working directory: {store, profiles: [{name,
// kind, serialNumber, version, key}]}.
int ProfilesJson(TOpsContext& ctx, nlohmann::json& doc);
// The register's settings stored as the template name of its version, or as
// its saved profile: {key, name, serialNumber, version, store, and the counts
// options, departments, headerLines, footerLines, taxes}.
int SaveProfileJson(TOpsContext& ctx, std::string name, bool saved, nlohmann::json& doc);
// A stored profile written to the register and read back: {name,
// serialNumber, confirmed, options, departments, headerLines, footerLines}.
int ApplyProfileJson(TOpsContext& ctx, const std::string& name, nlohmann::json& doc);
// Removes the stored profile with that key (a usage error when none has it):
// {deleted, name}.
int DeleteProfileKey(TOpsContext& ctx, const std::string& key, nlohmann::json& doc);
