#include "app/U_filedirwork.h"

#include "app/Platform.h"

#include <cctype>

namespace {
std::string g_dataDir;
}

bool ForceDir(const std::string& path) { return SysMakeDir(path); }

std::string ProgramPath() { return SysProgramPath(); }

std::string ProgramDir() {
    const std::string p = ProgramPath();
    return p.empty() ? CurrentDir() : PathFolder(p);
}

std::string CurrentDir() { return SysCurrentDir(); }

std::string DataDir() {
    if (!g_dataDir.empty()) return g_dataDir;
    const std::string beside = ProgramDir();
    if (DirExists(JoinPath(beside, "ECR_CFG")) || DirExists(JoinPath(beside, "lang"))) return beside;
    const std::string shared = JoinPath(JoinPath(JoinPath(beside, ".."), "share"), "vornik-config");
    if (DirExists(shared)) return shared;
    return beside;
}

void SetDataDir(const std::string& dir) { g_dataDir = dir; }

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (IsPathSeparator(dir.back())) return dir + name;
    return dir + kPathSeparators[0] + name;
}

std::string PathFolder(const std::string& path) {
    std::size_t i = path.size();
    while (i > 0 && !IsPathSeparator(path[i - 1])) --i;
    if (i == 0) return {};
    return i == 1 ? path.substr(0, 1) : path.substr(0, i - 1);
}

std::string PathName(const std::string& path) {
    std::size_t i = path.size();
    while (i > 0 && !IsPathSeparator(path[i - 1])) --i;
    return path.substr(i);
}

bool IsAbsolutePath(const std::string& path) {
    if (!path.empty() && IsPathSeparator(path[0])) return true;
    return IsPathSeparator('\\') && path.size() > 1 && path[1] == ':';
}

std::string JoinPathAnyCase(const std::string& dir, const std::string& name) {
    const std::string exact = JoinPath(dir, name);
    if (SysPathKind(exact) != TPathKind::None) return exact;
    const auto same = [&name](const std::string& n) {
        if (n.size() != name.size()) return false;
        for (std::size_t i = 0; i < n.size(); ++i) {
            const auto a = static_cast<unsigned char>(n[i]), b = static_cast<unsigned char>(name[i]);
            if (a != b && !(a < 128 && b < 128 && std::tolower(a) == std::tolower(b))) return false;
        }
        return true;
    };
    std::string found;
    for (const std::string& n : SysListDir(dir))
        if (same(n) && (found.empty() || n < found)) found = n;
    return found.empty() ? exact : JoinPath(dir, found);
}

bool FileExists(const std::string& path) { return SysPathKind(path) == TPathKind::File; }

bool DirExists(const std::string& path) { return SysPathKind(path) == TPathKind::Dir; }

std::vector<std::string> ListFiles(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> names;
    for (const std::string& n : SysListDir(dir))
        if (n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0 &&
            FileExists(JoinPath(dir, n)))
            names.push_back(n);
    return names;
}

bool WriteFileAtomic(const std::string& path, const std::string& bytes, std::string* error) {
    TSysFile file;
    const std::string tmp = path + ".tmp";
    const auto fail = [&](const TFileStatus& status) {
        if (error) *error = status.Text;
        file.Close();
        SysRemoveFile(tmp);
        return false;
    };
    if (!file.Open(tmp, TSysFile::TMode::CreateEmpty)) {
        if (error) *error = file.Status().Text;
        return false;
    }
    if (!file.WriteAt(0, bytes.data(), bytes.size()) || !file.Sync() || !file.Close()) return fail(file.Status());
    TFileStatus status;
    if (!SysReplaceFile(tmp, path, status)) return fail(status);
    return true;
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
    TSysFile file;
    if (!file.Open(path, TSysFile::TMode::Read)) return false;
    std::string data;
    char buf[64 * 1024];
    for (std::size_t got = 0;;) {
        if (!file.Read(buf, sizeof buf, got)) return false;
        if (got == 0) break;
        data.append(buf, got);
    }
    bytes = std::move(data);
    return true;
}

bool AppendFileBytes(const std::string& path, const std::string& bytes) {
    TSysFile file;
    return file.Open(path, TSysFile::TMode::Append) && file.Write(bytes.data(), bytes.size()) && file.Close();
}
