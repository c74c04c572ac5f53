#include "app/ConfigFile.h"

#include "app/Dialog.h"
#include "app/IniFile.h"
#include "app/U_filedirwork.h"

std::string ConfigFilePath() { return JoinPath(CurrentDir(), ConfigFileName); }

int ReadNetNumber() { return TIniFile(ConfigFilePath()).ReadInteger("NET", "NUMBER", 1); }

std::string ReadExchangeFile() { return TIniFile(ConfigFilePath()).ReadString("Exchange", "DBFFile", "goods.dbf"); }

namespace {
bool Report(const TIniFile& ini, bool ok) {
    if (!ok) Error(ini.LastError(), true, true, true);
    return ok;
}
}  // namespace

bool WriteNetNumber(int number) {
    TIniFile ini(ConfigFilePath());
    return Report(ini, ini.WriteInteger("NET", "NUMBER", number));
}

bool WriteExchangeFile(const std::string& name) {
    TIniFile ini(ConfigFilePath());
    return Report(ini, ini.WriteString("Exchange", "DBFFile", name));
}
