#include "app/ConfigFile.h"

#include "app/Dialog.h"
#include "app/IniFile.h"
#include "app/U_filedirwork.h"

std::string ConfigFilePath() { return JoinPath(CurrentDir(), ConfigFileName); }

int ReadNetNumber() { return TIniFile(ConfigFilePath()).ReadInteger("NET", "NUMBER", 1); }

std::string ReadExchangeFile() { return TIniFile(ConfigFilePath()).ReadString("Exchange", "DBFFile", "goods.dbf"); }

int ReadConsoleHeight(int def) { return TIniFile(ConfigFilePath()).ReadInteger("Window", "ConsoleHeight", def); }

bool ReadWindowPlace(TWindowPlace& place) {
    const TIniFile ini(ConfigFilePath());
    TWindowPlace p;
    p.Left = ini.ReadInteger("Window", "Left", 0);
    p.Top = ini.ReadInteger("Window", "Top", 0);
    p.Width = ini.ReadInteger("Window", "Width", 0);
    p.Height = ini.ReadInteger("Window", "Height", 0);
    p.Maximized = ini.ReadInteger("Window", "Maximized", 0) != 0;
    if (p.Width <= 0 || p.Height <= 0) return false;
    place = p;
    return true;
}

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

bool WriteWindowPlace(const TWindowPlace& place, std::string* error) {
    TIniFile ini(ConfigFilePath());
    const bool ok = ini.WriteInteger("Window", "Left", place.Left) && ini.WriteInteger("Window", "Top", place.Top) &&
                    ini.WriteInteger("Window", "Width", place.Width) &&
                    ini.WriteInteger("Window", "Height", place.Height) &&
                    ini.WriteInteger("Window", "Maximized", place.Maximized ? 1 : 0);
    return Written(ini, ok, error);
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
