// Helpers shared by the tests: scratch folders and file contents.
#pragma once
#include "app/TextCodec.h"
#include "app/U_filedirwork.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

// A new empty folder under the system's temporary folder, as a path with
// "/" separators (which Windows takes too).
inline std::string MakeScratchFolder(const std::string& prefix) {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
        const std::filesystem::path p = base / (prefix + "-" + std::to_string(random()));
        std::error_code ec;
        if (std::filesystem::create_directory(p, ec)) return p.generic_string();
        if (ec) return {};
    }
}

// Writes into a folder without write permission succeed anyway: for root,
// and on Windows, where a folder's read-only mark does not stop them.
inline bool WritesIgnoreFolderModes() {
#ifdef _WIN32
    return true;
#else
    return ::geteuid() == 0;
#endif
}

// Environment variables set and removed alike on every system.
inline void SetEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
#endif
}

// A fresh scratch folder, removed at the end of the test; optionally the
// working directory while it lives.
class TScratchDir {
public:
    explicit TScratchDir(bool enter = false) {
        path_ = MakeScratchFolder("vornik-test");
        if (enter) {
            old_ = std::filesystem::current_path();
            std::filesystem::current_path(path_);
        }
    }
    ~TScratchDir() {
        if (!old_.empty()) std::filesystem::current_path(old_);
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
    std::filesystem::path old_;
};

inline std::string ReadBytes(const std::string& path) {
    std::string b;
    ReadFileBytes(path, b);
    return b;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A code page 1251 file as UTF-8 text.
inline std::string ReadCp1251(const std::string& path) { return Cp1251ToUtf8(ReadBytes(path)); }
