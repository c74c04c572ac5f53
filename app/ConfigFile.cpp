#include "app/ConfigFile.h"

#include "app/Dialog.h"
#include "app/IniFile.h"
#include "app/U_filedirwork.h"

std::string ConfigFilePath() { return JoinPath(CurrentDir(), ConfigFileName); }

int ReadNetNumber() { return TIniFile(ConfigFilePath()).ReadInteger("NET", "NUMBER", 1); }

std::string ReadExchangeFile() { return TIniFile(ConfigFilePath()).ReadString("Exchange", "DBFFile", "goods.dbf"); }

int ReadConsoleHeight(int def) { return TIniFile(ConfigFilePath()).ReadInteger("Window", "ConsoleHeight", def); }

namespace {
bool Written(const TIniFile& ini, bool ok, std::string* error) {
    if (!ok && error) *error = ini.LastError();
    return ok;
}
}  // namespace

bool WriteNetNumber(int number, std::string* error) {
    TIniFile ini(ConfigFilePath());
    return Written(ini, ini.WriteInteger("NET", "NUMBER", number), error);
}

bool WriteExchangeFile(const std::string& name, std::string* error) {
    TIniFile ini(ConfigFilePath());
    return Written(ini, ini.WriteString("Exchange", "DBFFile", name), error);
}

bool WriteConsoleHeight(int height, std::string* error) {
    TIniFile ini(ConfigFilePath());
    return Written(ini, ini.WriteInteger("Window", "ConsoleHeight", height), error);
}

bool TUnsavedSettings::Note(bool ok, const std::string& section, const std::string& reason) {
    if (ok) return true;
    Sections.push_back(section);
    if (Reason.empty()) Reason = reason;
    return false;
}

void TUnsavedSettings::Report(bool box) const {
    if (Sections.empty()) return;
    std::string names;
    for (const auto& s : Sections) names += (names.empty() ? "" : ", ") + s;
    Error("Настройки не сохранены (" + names + "): " + Reason, box, true, true);
}
