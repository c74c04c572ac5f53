#include "app/ProjectsVars.h"

bool isDEBUG = false;
bool isAUTONOM = false;
bool isADMIN = false;
bool isOKB = false;
bool isFullFun = false;
bool isDEMO = false;
TMessDepth MessDepth = mdUser;

namespace {
std::string AsciiLower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}
}  // namespace

void ResetSwitches() {
    isDEBUG = isAUTONOM = isADMIN = isOKB = isFullFun = isDEMO = false;
    MessDepth = mdUser;
}

void ParseCommandLine(const std::vector<std::string>& params) {
    MessDepth = mdUser;
    for (const auto& p : params) {
        const std::string s = AsciiLower(p);
        if (s == "debug") isDEBUG = true;
        else if (s == "autonom") isAUTONOM = true;
        else if (s == "admin") isADMIN = true;
        else if (s == "fullfun") isFullFun = true;
        else if (s == "okb") isOKB = true;
        else if (s == "demo") isDEMO = true;
        else if (s == "mdapplied") MessDepth = mdApplied;
        else if (s == "mdfunctional") MessDepth = mdFunctional;
        else if (s == "mdsystem") MessDepth = mdSystem;
        else if (s == "mdhardware") MessDepth = mdHardWare;
    }
    if (isDEBUG) MessDepth = mdFunctional;
}
