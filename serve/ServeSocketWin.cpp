#include "serve/ServeSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <mutex>
#include <set>

#include "serve/ServeAddresses.h"

namespace {

SOCKET S(TSocket fd) { return static_cast<SOCKET>(fd); }

// Winsock does not wake a thread waiting on a socket that another thread
// shuts down, so a wait looks in slices whether its socket was cut.
constexpr int kWaitSliceMs = 50;
std::mutex g_cutMutex;
std::set<TSocket> g_cut;

bool WasCut(TSocket fd) {
    std::lock_guard<std::mutex> lock(g_cutMutex);
    return g_cut.count(fd) != 0;
}

// Forgotten before the socket is closed: the system may give its number to
// the next accepted one.
void Forget(TSocket fd) {
    std::lock_guard<std::mutex> lock(g_cutMutex);
    g_cut.erase(fd);
}

// Winsock counts its users: name look-ups may come before any server starts.
void WinsockStarted() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

}  // namespace

void SocketPeer(TSocket fd, std::string& ip, int& port) {
    sockaddr_storage addr {};
    int len = sizeof addr;
    if (getpeername(S(fd), reinterpret_cast<sockaddr*>(&addr), &len) != 0) addr.ss_family = AF_UNSPEC;
    AddressText(addr, ip, port);
}

void SocketLocal(TSocket fd, std::string& ip, int& port) {
    sockaddr_storage addr {};
    int len = sizeof addr;
    if (getsockname(S(fd), reinterpret_cast<sockaddr*>(&addr), &len) != 0) addr.ss_family = AF_UNSPEC;
    AddressText(addr, ip, port);
}

bool SocketWait(TSocket fd, bool forWrite, int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0));
    for (;;) {
        if (WasCut(fd)) return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        const long slice = std::clamp<long>(static_cast<long>(left.count()), 0, kWaitSliceMs);
        fd_set set;
        FD_ZERO(&set);
        FD_SET(S(fd), &set);
        timeval tv {0, slice * 1000};
        const int n = select(0, forWrite ? nullptr : &set, forWrite ? &set : nullptr, nullptr, &tv);
        if (n != 0) return n > 0 && !WasCut(fd);
        if (left.count() <= kWaitSliceMs) return false;
    }
}

long SocketReceive(TSocket fd, char* buf, std::size_t size) {
    return recv(S(fd), buf, static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
}

long SocketSend(TSocket fd, const char* buf, std::size_t size) {
    return send(S(fd), buf, static_cast<int>(std::min<std::size_t>(size, INT_MAX)), 0);
}

void SocketCut(TSocket fd) {
    {
        std::lock_guard<std::mutex> lock(g_cutMutex);
        g_cut.insert(fd);
    }
    shutdown(S(fd), SD_BOTH);
}

void SocketClose(TSocket fd) {
    Forget(fd);
    closesocket(S(fd));
}

void SocketCloseGently(TSocket fd, int ms, std::size_t bytes) {
    shutdown(S(fd), SD_SEND);
    char buf[4096];
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (std::size_t dropped = 0; dropped < bytes;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !SocketWait(fd, false, static_cast<int>(left.count()))) break;
        const long n = SocketReceive(fd, buf, sizeof buf);
        if (n <= 0) break;
        dropped += static_cast<std::size_t>(n);
    }
    SocketClose(fd);
}

bool ResolvesToLoopbackOnly(const std::string& host) {
    WinsockStarted();
    addrinfo hints {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return false;
    const bool loopback = AllLoopback(list);
    freeaddrinfo(list);
    return loopback;
}
