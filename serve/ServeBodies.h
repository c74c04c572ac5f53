// Request bodies of the register writes, from JSON into what the tool's
// writing functions take. Every check that needs no register is made here:
// malformed JSON, unknown fields, types and ranges. False with the reason and
// the field at fault.
#pragma once
#include "cli/CliRegisterWork.h"

#include <string>

struct TBodyError {
    std::string Text;
    std::string Field;
};

bool ParseOptionsBody(const std::string& body, std::vector<TOptionWant>& wanted, TBodyError& error);
bool ParseDepartmentsBody(const std::string& body, std::vector<TDepartmentWant>& wanted, TBodyError& error);
bool ParseLinesBody(const std::string& body, std::map<std::string, TLinesWant>& wanted, TBodyError& error);
// {"ports": [1, 2], "allNets": false, "speed": 19200, "net": 1}, each optional;
// an empty body is no fields.
bool ParseSearchBody(const std::string& body, TCliOptions& options, TBodyError& error);
// {"name": "..."} or {"saved": true}.
bool ParseProfileBody(const std::string& body, bool allowSaved, std::string& name, bool& saved, TBodyError& error);
