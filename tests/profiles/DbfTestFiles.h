// Helpers of the dBase table tests: scratch folders, file bytes, the expected
// bytes of a table written out by hand, and an independent reader/writer
// (the python3 "dbf" module) when the machine has one.
#pragma once
#include "profiles/DbfTable.h"

#include "TestFiles.h"
#include "app/Platform.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <stdlib.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

class TDbfScratch {
public:
    TDbfScratch() {
        path_ = MakeScratchFolder("vornik-dbf");
    }
    ~TDbfScratch() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

inline std::string FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void PutFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Today's header date bytes (year - 1900, month, day), local time.
inline std::string TodayBytes() {
    const std::tm t = SysLocalTime(std::time(nullptr));
    return {static_cast<char>(t.tm_year), static_cast<char>(t.tm_mon + 1), static_cast<char>(t.tm_mday)};
}

inline std::string Le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
inline std::string Le32(unsigned v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

// The header and descriptors of a table as the file format lays them out,
// written independently of the table layer.
struct TExpectedField {
    const char* Name;
    char Kind;
    int Width;
};

inline std::string ExpectedHeader(const std::vector<TExpectedField>& fields, unsigned records, const std::string& date) {
    unsigned recordSize = 1;
    for (const auto& f : fields) recordSize += static_cast<unsigned>(f.Width);
    const unsigned headerSize = 32 + 32 * static_cast<unsigned>(fields.size()) + 1;
    std::string h = "\x03" + date + Le32(records) + Le16(headerSize) + Le16(recordSize);
    h += std::string(16, '\0') + '\0' + '\xC9' + std::string(2, '\0');
    for (const auto& f : fields) {
        std::string name = f.Name;
        name.resize(11, '\0');
        h += name + f.Kind + std::string(4, '\0') + static_cast<char>(f.Width) + '\0' + std::string(14, '\0');
    }
    return h + '\x0D';
}

// ---- the python3 dbf module -------------------------------------------------

// An interpreter that has the module, or "" (the test is then skipped).
inline std::string PythonWithDbf() {
    static const std::string found = [] {
        for (const char* py : {"/usr/bin/python3", "python3"}) {
            const std::string cmd = std::string(py) + " -c \"import dbf\" >/dev/null 2>&1";
            if (std::system(cmd.c_str()) == 0) return std::string(py);
        }
        return std::string();
    }();
    return found;
}

// Runs a python snippet (written to a file in dir) and returns what it
// printed; ok tells whether it ended well.
inline std::string RunPython(const TDbfScratch& dir, const std::string& code, bool& ok) {
    const std::string script = dir.File("snippet.py");
    PutFileBytes(script, code);
    const std::string cmd = "PYTHONIOENCODING=utf-8 " + PythonWithDbf() + " " + script + " 2>&1";
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) {
        ok = false;
        return out;
    }
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ok = ::pclose(p) == 0;
    return out;
}

#define SKIP_WITHOUT_PYTHON_DBF()                                                       \
    do {                                                                                \
        if (PythonWithDbf().empty()) GTEST_SKIP() << "python3 with the dbf module is missing"; \
    } while (0)

// Writes beyond `bytes` of any file fail (EFBIG, as on a full disk) while
// this lives. Windows has no such limit: the cases using it are left out there
// (tests/windows-skip.txt).
#ifdef _WIN32
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(std::size_t) {}
};
#else
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};
#endif
