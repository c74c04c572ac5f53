// Request bodies of the service's own requests (the register writes' bodies
// are the operations' JSON input, ops/OpsInput.h). False with the reason and
// the field at fault.
#pragma once
#include "ops/OpsInput.h"

#include <string>

// {"ports": [1, 2], "allNets": false, "speed": 19200, "net": 1}, each optional;
// an empty body is no fields.
bool ParseSearchBody(const std::string& body, TOpsOptions& options, TBodyError& error);
// {"name": "..."} or {"saved": true}.
bool ParseProfileBody(const std::string& body, bool allowSaved, std::string& name, bool& saved, TBodyError& error);
