// Address helpers shared by the systems' socket files: include it after the
// system's socket headers, which declare the address types and macros.
#pragma once

#include <string>

// The numeric text and port of an accepted peer's address (empty and 0 for
// another family).
inline void AddressText(const sockaddr_storage& addr, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    ip.clear();
    port = 0;
    if (addr.ss_family == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(addr);
        inet_ntop(AF_INET, &in.sin_addr, text, sizeof text);
        port = ntohs(in.sin_port);
    } else if (addr.ss_family == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(addr);
        inet_ntop(AF_INET6, &in6.sin6_addr, text, sizeof text);
        port = ntohs(in6.sin6_port);
    }
    ip = text;
}

// Whether every address getaddrinfo gave is a loopback address (false for
// none).

inline bool AllLoopback(const addrinfo* list) {
    bool any = false, all = true;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        any = true;
        if (a->ai_family == AF_INET) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ai_addr);
            all = all && (ntohl(in->sin_addr.s_addr) >> 24) == 127;
        } else if (a->ai_family == AF_INET6) {
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(a->ai_addr);
            all = all && IN6_IS_ADDR_LOOPBACK(&in6->sin6_addr);
        } else {
            all = false;
        }
    }
    return any && all;
}
