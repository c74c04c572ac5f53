// Every frame that crosses the simulated register's line, kept for the tests
// and written to the frame log (--log) in hexadecimal.
#pragma once
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

struct TSimFrameRecord {
    bool Incoming = false;  // from the computer
    bool Block = false;     // a data block (else a control frame or stray bytes)
    std::vector<std::uint8_t> Bytes;  // as on the line
    std::string Note;       // kind, or what was wrong with it
};

class TSimRecorder {
public:
    ~TSimRecorder();
    // Appends to the file; false with the reason when it cannot be opened.
    bool OpenLog(const std::string& path, std::string& error);
    void Record(bool incoming, bool block, const std::uint8_t* bytes, std::size_t n, const std::string& note);
    std::vector<TSimFrameRecord> History() const;
    void ClearHistory();

private:
    static constexpr std::size_t kHistoryLimit = 200000;
    mutable std::mutex mutex_;
    std::vector<TSimFrameRecord> history_;
    std::FILE* log_ = nullptr;
};

// "RDY", "DATA 3+" (sequence number, + while more follow), "??? C1".
std::string SimFrameName(std::uint8_t control);
