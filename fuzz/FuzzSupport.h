// Shared pieces of the fuzz targets: the message functions kept quiet (their
// log goes to the null device, no boxes), scratch files on a memory file
// system where there is one, and a reader that takes typed values off the
// front of the fuzz input.
#pragma once
#include "app/Dialog.h"
#include "app/ProjectsVars.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

// Every message still goes through the log code, which then writes nowhere.
inline void QuietMessages(TMessDepth depth = mdUser) {
    ResetSwitches();
    isAUTONOM = true;
    MessDepth = depth;
    SetLogFileName("/dev/null");
}

// A file name of this process for scratch data: in /dev/shm when it can be
// written (no disk traffic per input), else in the temporary folder.
inline std::string ScratchFile(const std::string& name) {
    static const std::string dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        return access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::string(tmp && *tmp ? tmp : "/tmp");
    }();
    return dir + "/vornik-fuzz-" + std::to_string(getpid()) + "-" + name;
}

// A scratch file name (as above) whose file is removed when the process ends.
inline std::string ScratchFileRemovedAtExit(const std::string& name) {
    static std::vector<std::string> made;
    static const bool cleanup = (std::atexit([] {
                                     for (const auto& f : made) std::remove(f.c_str());
                                 }),
                                 true);
    (void)cleanup;
    made.push_back(ScratchFile(name));
    return made.back();
}

inline bool WriteWhole(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// Takes values off the front of the input; past its end everything reads 0.
class TInput {
public:
    TInput(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}

    std::uint8_t Byte() { return p_ < end_ ? *p_++ : 0; }
    bool Bool() { return (Byte() & 1) != 0; }
    // A text up to the next byte 0 (taken off too), or the rest.
    std::string Text() {
        const std::uint8_t* q = p_;
        while (q < end_ && *q != 0) ++q;
        std::string s(reinterpret_cast<const char*>(p_), static_cast<std::size_t>(q - p_));
        p_ = q < end_ ? q + 1 : q;
        return s;
    }
    std::string Rest() {
        std::string s(reinterpret_cast<const char*>(p_), static_cast<std::size_t>(end_ - p_));
        p_ = end_;
        return s;
    }
    std::size_t Left() const { return static_cast<std::size_t>(end_ - p_); }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

}  // namespace fuzz
