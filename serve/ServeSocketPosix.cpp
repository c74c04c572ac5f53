#include "serve/ServeSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "serve/ServeAddresses.h"

void SocketPeer(TSocket fd, std::string& ip, int& port) {
    sockaddr_storage addr {};
    socklen_t len = sizeof addr;
    if (getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) addr.ss_family = AF_UNSPEC;
    AddressText(addr, ip, port);
}

void SocketLocal(TSocket fd, std::string& ip, int& port) {
    sockaddr_storage addr {};
    socklen_t len = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) addr.ss_family = AF_UNSPEC;
    AddressText(addr, ip, port);
}

bool SocketWait(TSocket fd, bool forWrite, int ms) {
    pollfd p {static_cast<int>(fd), static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    int n;
    do n = poll(&p, 1, ms < 0 ? 0 : ms);
    while (n < 0 && errno == EINTR);
    return n > 0;
}

long SocketReceive(TSocket fd, char* buf, std::size_t size) {
    ssize_t n;
    do n = recv(fd, buf, size, 0);
    while (n < 0 && errno == EINTR);
    return n;
}

long SocketSend(TSocket fd, const char* buf, std::size_t size) {
    ssize_t n;
    do n = send(fd, buf, size, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n;
}

void SocketCut(TSocket fd) { shutdown(fd, SHUT_RDWR); }

void SocketClose(TSocket fd) { close(fd); }

void SocketCloseGently(TSocket fd, int ms, std::size_t bytes) {
    shutdown(fd, SHUT_WR);
    char buf[4096];
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (std::size_t dropped = 0; dropped < bytes;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !SocketWait(fd, false, static_cast<int>(left.count()))) break;
        const long n = SocketReceive(fd, buf, sizeof buf);
        if (n <= 0) break;
        dropped += static_cast<std::size_t>(n);
    }
    close(fd);
}

bool ResolvesToLoopbackOnly(const std::string& host) {
    addrinfo hints {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return false;
    const bool loopback = AllLoopback(list);
    freeaddrinfo(list);
    return loopback;
}
