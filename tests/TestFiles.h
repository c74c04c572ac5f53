// Helpers shared by the tests: scratch folders and file contents.
#pragma once
#include "app/TextCodec.h"
#include "app/U_filedirwork.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A fresh scratch folder, removed at the end of the test; optionally the
// working directory while it lives.
class TScratchDir {
public:
    explicit TScratchDir(bool enter = false) {
        char tmpl[] = "/tmp/vornik-test-XXXXXX";
        path_ = ::mkdtemp(tmpl);
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
