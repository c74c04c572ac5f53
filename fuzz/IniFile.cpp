// Any bytes as an initialisation file: the settings file, a model
// configuration file or lang.ini. The input starts with a section name, a key
// and a value (each ended by a byte 0), the rest is the file.
//
// Checked besides memory safety: a key written with a plain name and value
// reads back as written, from the object and from the file it saved, and
// every other key reads as it did before.
#include "FuzzSupport.h"
#include "app/IniFile.h"

#include <cctype>
#include <cstdlib>

namespace {

const std::string& IniPath() {
    static const std::string path = fuzz::ScratchFileRemovedAtExit("settings.ini");
    return path;
}

// Names the reader cannot mistake for anything else in a line.
bool PlainName(const std::string& s) {
    if (s.empty() || s.size() > 32) return false;
    for (unsigned char c : s)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
    return true;
}

bool PlainValue(const std::string& s) {
    if (s.empty() || s.size() > 64 || s.front() == ' ' || s.back() == ' ' || s.front() == '"') return false;
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

std::string Upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = (fuzz::QuietMessages(), true);
    (void)quiet;
    fuzz::TInput in(data, size);
    const std::string section = in.Text();
    const std::string key = in.Text();
    const std::string value = in.Text();
    const std::string file = in.Rest();
    const std::string& path = IniPath();
    if (!fuzz::WriteWhole(path, reinterpret_cast<const std::uint8_t*>(file.data()), file.size())) std::abort();

    TIniFile ini(path);
    (void)ini.ReadString(section, key, "def");
    (void)ini.ReadInteger(section, key, -1);
    (void)ini.ValueExists(section, key);
    // The keys the program reads.
    (void)ini.ReadInteger("Port", "COMPort", 1);
    (void)ini.ReadInteger("NET", "NUMBER", 1);
    (void)ini.ReadString("Exchange", "File", "goods.dbf");
    (void)ini.ReadInteger("max", "maxCountGoods", 100);
    (void)ini.ReadString("opions", "op1", "0,0,0,''");
    (void)ini.ReadString("MAIN", "CurLang", "");

    if (!PlainName(section) || !PlainName(key) || !PlainValue(value)) return 0;
    const std::string otherBefore = ini.ReadString("NET", "NUMBER", "-");
    if (!ini.WriteString(section, key, value)) __builtin_trap();
    if (ini.ReadString(section, key, "") != value) __builtin_trap();
    const TIniFile again(path);
    if (again.ReadString(section, key, "") != value) __builtin_trap();
    // Another key keeps its value (names compare without letter case).
    if (Upper(section) != "NET" || Upper(key) != "NUMBER") {
        if (ini.ReadString("NET", "NUMBER", "-") != otherBefore) __builtin_trap();
        if (again.ReadString("NET", "NUMBER", "-") != otherBefore) __builtin_trap();
    }
    return 0;
}
