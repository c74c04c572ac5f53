#include "sim/SimLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

// SimLineSpeed.cpp: the speed the computer set on its side, 0 when unknown.
int SimTerminalSpeed(int masterFd);

TSimLine::~TSimLine() { Close(); }

bool TSimLine::Open(std::string& error) {
    Close();
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        Close();
        return false;
    }
    path_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        error = "cannot open " + path_ + ": " + std::strerror(errno);
        Close();
        return false;
    }
    // Raw until the computer sets its own line: nothing echoes or is changed.
    termios tio{};
    if (tcgetattr(slave_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(slave_, TCSANOW, &tio);
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    txFree_ = rxFree_ = Clock::now();
    return true;
}

void TSimLine::Close() {
    if (slave_ >= 0) ::close(slave_);
    if (master_ >= 0) ::close(master_);
    slave_ = master_ = -1;
    path_.clear();
}

TSimLine::Clock::duration TSimLine::ByteTime() const {
    if (speed_ <= 0) return Clock::duration::zero();
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(10'000'000'000LL / speed_));
}

bool TSimLine::SpeedsMatch() const {
    if (!strictSpeed_ || speed_ <= 0) return true;
    const int theirs = SimTerminalSpeed(master_);
    return theirs == 0 || theirs == speed_;
}

void TSimLine::WaitUntil(Clock::time_point when) {
    if (when > Clock::now()) std::this_thread::sleep_until(when);
}

namespace {

bool WriteAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w > 0) {
            p += w;
            n -= static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno != EAGAIN && errno != EINTR) return false;
        pollfd pfd{fd, POLLOUT, 0};
        if (poll(&pfd, 1, 1000) == 0) return false;  // the computer's side takes nothing
    }
    return true;
}

}  // namespace

bool TSimLine::Send(const std::uint8_t* bytes, std::size_t n, bool whole) {
    if (master_ < 0) return false;
    if (!SpeedsMatch()) return true;  // sent, and lost on the line
    const auto byteTime = ByteTime();
    if (byteTime == Clock::duration::zero()) return WriteAll(master_, bytes, n);
    // The line does not save up idle time.
    txFree_ = std::max(txFree_, Clock::now());
    // Chunks of about a millisecond of line time keep the pace without a
    // wake-up for every byte.
    const std::size_t perChunk =
        whole ? n : std::max<std::size_t>(1, static_cast<std::size_t>(std::chrono::milliseconds(1) / byteTime));
    for (std::size_t done = 0; done < n;) {
        const std::size_t k = std::min(perChunk, n - done);
        txFree_ += byteTime * static_cast<long>(k);
        WaitUntil(txFree_);
        if (!WriteAll(master_, bytes + done, k)) return false;
        done += k;
    }
    return true;
}

TSimLine::TReceive TSimLine::Receive(std::vector<std::uint8_t>& bytes, std::vector<Clock::time_point>& arrivals,
                                     int timeoutMs, int wakeFd) {
    if (master_ < 0) return TReceive::Failed;
    pollfd p[2] = {{master_, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int r = poll(p, wakeFd >= 0 ? 2 : 1, timeoutMs);
    if (r < 0) return errno == EINTR ? TReceive::Timeout : TReceive::Failed;
    if (wakeFd >= 0 && (p[1].revents & POLLIN)) return TReceive::Woken;
    if (r == 0) return TReceive::Timeout;
    std::uint8_t chunk[4096];
    const ssize_t n = ::read(master_, chunk, sizeof chunk);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) return TReceive::Timeout;
        return TReceive::Failed;
    }
    if (!SpeedsMatch()) return TReceive::Timeout;  // noise at the wrong speed: nothing heard
    const auto now = Clock::now();
    const auto byteTime = ByteTime();
    // The computer wrote them just now; on a line they arrive one after the
    // other from here (or after the bytes still on their way).
    rxFree_ = std::max(rxFree_, now);
    for (ssize_t i = 0; i < n; ++i) {
        rxFree_ += byteTime;
        bytes.push_back(chunk[i]);
        arrivals.push_back(rxFree_);
    }
    return TReceive::Data;
}
