// JSON input of the register writes, in the form the reads give it (so that
// what a read printed can be written back as it is), into what the writing
// operations take. Every check that needs no register is made here:
// malformed JSON, unknown fields, types, ranges, characters and widths.
// False with the reason and the field at fault.
#pragma once
#include "ops/RegisterOps.h"

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

struct TBodyError {
    std::string Text;
    std::string Field;
};

// {"count", "options": [{"number", "value", ...}]} as options get gives it;
// only number and value count, and only the options listed are written.
bool ParseOptionsInput(const std::string& body, std::vector<TOptionWant>& wanted, TBodyError& error);
// [{"number", "kind", "name", "taxGroup", "price", ...}] as departments get
// gives it, or {"departments": [...]}; departments not listed stay.
bool ParseDepartmentsInput(const std::string& body, std::vector<TDepartmentWant>& wanted, TBodyError& error);
// {"header": {"font", "lines": [...]}, "footer": {...}} as lines get gives it;
// either group may be left out, a null line keeps the register's.
bool ParseLinesInput(const std::string& body, std::map<std::string, TLinesWant>& wanted, TBodyError& error);

// The pieces of every JSON input.
bool InputFail(TBodyError& error, const std::string& field, const std::string& text);
// The body as a JSON object; an empty body only where allowed.
bool ParseJsonObject(const std::string& body, nlohmann::json& doc, TBodyError& error, bool emptyAllowed = false);
// Every key of the object is one of the names; else the first other one.
bool OnlyKnownFields(const nlohmann::json& object, std::initializer_list<const char*> names, const std::string& where,
                     TBodyError& error);
bool JsonWholeIn(const nlohmann::json& v, long long lo, long long hi, long long& out);
// The string under key ("" when missing); false when it is no string.
bool JsonText(const nlohmann::json& object, const char* key, std::string& out);
