#include "serve/ServeConnections.h"

#include "serve/ServeSocket.h"

#include <algorithm>

namespace {

using Clock = std::chrono::steady_clock;

// The server gives each connection one thread from accept to close.
thread_local TServeConnection* t_current = nullptr;

int MsUntil(Clock::time_point t) {
    return static_cast<int>(std::max<long long>(0, std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now()).count()));
}

}  // namespace

TServeConnection::TServeConnection(socket_t fd, const TConnectionLimits& limits)
    : fd_(fd), limits_(limits), since_(Clock::now()) {
    SocketPeer(fd, address_, port_);
    AwaitHead(limits.HeadTime);
}

void TServeConnection::AwaitHead(std::chrono::milliseconds allowed) {
    since_ = Clock::now();
    deadline_ = since_.load() + allowed;
    headLeft_ = limits_.HeadBytes;
    inHead_ = true;
}

void TServeConnection::Cut() {
    cut_ = true;
    SocketCut(fd_);
}

bool TServeConnection::is_readable() const {
    return from_ < to_ || SocketWait(fd_, false, inHead_ ? std::min(limits_.ReadTimeoutMs, MsUntil(deadline_)) : limits_.ReadTimeoutMs);
}

bool TServeConnection::is_writable() const { return SocketWait(fd_, true, limits_.WriteTimeoutMs); }

ssize_t TServeConnection::read(char* ptr, size_t size) {
    if (inHead_ && (Clock::now() >= deadline_ || headLeft_ <= 0)) return -1;
    if (from_ == to_) {
        if (!is_readable()) return -1;
        const long n = SocketReceive(fd_, buf_, sizeof buf_);
        if (n <= 0) return n;
        from_ = 0;
        to_ = static_cast<std::size_t>(n);
    }
    std::size_t n = std::min(size, to_ - from_);
    if (inHead_) n = std::min<std::size_t>(n, static_cast<std::size_t>(headLeft_));
    std::copy(buf_ + from_, buf_ + from_ + n, ptr);
    from_ += n;
    if (inHead_) headLeft_ -= static_cast<long long>(n);
    return static_cast<ssize_t>(n);
}

ssize_t TServeConnection::write(const char* ptr, size_t size) {
    if (!is_writable()) return -1;
    return SocketSend(fd_, ptr, size);
}

void TServeConnection::get_remote_ip_and_port(std::string& ip, int& port) const {
    ip = address_;
    port = port_;
}

void TServeConnection::get_local_ip_and_port(std::string& ip, int& port) const { SocketLocal(fd_, ip, port); }

bool TServeConnections::Open(TServeConnection& c) {
    std::lock_guard<std::mutex> lock(mutex_);
    int same = 0;
    TServeConnection* slowest = nullptr;
    for (auto* o : open_) {
        if (o->Closing() || o->Address() != c.Address()) continue;
        ++same;
        if (o->InHead() && (!slowest || o->Since() < slowest->Since())) slowest = o;
    }
    if (same >= limits_.PerAddress) {
        if (!slowest) return false;
        slowest->Cut();
    }
    open_.push_back(&c);
    t_current = &c;
    return true;
}

void TServeConnections::Closed(TServeConnection& c) {
    std::lock_guard<std::mutex> lock(mutex_);
    open_.remove(&c);
    t_current = nullptr;
}

void TServeConnections::CutWaiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto* c : open_)
        if (c->InHead()) c->Cut();
}

TServeConnection* TServeConnections::Current() { return t_current; }
