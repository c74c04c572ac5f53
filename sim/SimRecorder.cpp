#include "sim/SimRecorder.h"

#include "link/LinkFrames.h"

#include <chrono>
#include <cstring>
#include <ctime>

using namespace kkmlink;

TSimRecorder::~TSimRecorder() {
    if (log_) std::fclose(log_);
}

bool TSimRecorder::OpenLog(const std::string& path, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::FILE* f = std::fopen(path.c_str(), "a");
    if (!f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (log_) std::fclose(log_);
    log_ = f;
    return true;
}

void TSimRecorder::Record(bool incoming, bool block, const std::uint8_t* bytes, std::size_t n,
                          const std::string& note) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (history_.size() < kHistoryLimit) history_.push_back({incoming, block, {bytes, bytes + n}, note});
    if (!log_) return;
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    const int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::fprintf(log_, "%02d:%02d:%02d.%03d %s %s%s%s\n", tm.tm_hour, tm.tm_min, tm.tm_sec, ms,
                 incoming ? "IN " : "OUT", HexBytes(bytes, n).c_str(), note.empty() ? "" : "  ", note.c_str());
    std::fflush(log_);
}

std::vector<TSimFrameRecord> TSimRecorder::History() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return history_;
}

void TSimRecorder::ClearHistory() {
    std::lock_guard<std::mutex> lock(mutex_);
    history_.clear();
}

std::string SimFrameName(std::uint8_t c) {
    if (IsDataFrame(c)) return "DATA " + std::to_string(c & 7) + ((c & MORE) ? "+" : "");
    switch (FrameKind(c)) {
        case DISC: return "DISC";
        case REJ: return "REJ";
        case RDY: return "RDY";
        case REPEAT: return "REP";
        case WAIT: return "WAIT";
        case BUSY: return "BUSY";
        case ACK: return (c & MORE) ? "ACK+" : "ACK";
        case SYN: return "SYN";
        case RST: return "RST";
        default: return "??? " + HexBytes(&c, 1);
    }
}
