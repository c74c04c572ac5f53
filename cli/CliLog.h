// Where the tool's log goes.
#pragma once
#include <string>

// The log file: the one given (--log FILE); else, when the program lies in
// a system folder (an installed program, whose folder is not the user's),
// vornik-cli.log in $XDG_STATE_HOME/vornik or ~/.local/state/vornik (made
// when missing); else empty: beside the program, as every program of the
// family logs.
std::string CliLogFile(const std::string& given);
