// Process-wide switches, parsed from the command line before any window exists.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

enum TMessDepth : std::uint8_t {
    mdUser = 0,
    mdApplied = 1,
    mdComponents = 2,
    mdFunctional = 3,
    mdSystem = 4,
    mdHardWare = 5,
};

extern bool isDEBUG;
extern bool isAUTONOM;
extern bool isADMIN;
extern bool isOKB;
extern bool isFullFun;
// "demo": the configurator starts the register simulator and talks to it.
extern bool isDEMO;
extern TMessDepth MessDepth;

// Parses the parameters (without the program name) into the switches above.
// Switch names are whole words compared case-insensitively ("FullFun"), with
// no leading "-" or "/"; unknown parameters are ignored; the last depth switch
// wins, and "debug" forces mdFunctional whatever depth was given.
void ParseCommandLine(const std::vector<std::string>& params);

// Clears every switch (tests run several parses in one process).
void ResetSwitches();
