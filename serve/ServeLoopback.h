// Whether every address getaddrinfo gave is a loopback address (false for
// none). Shared by the systems' socket files: include it after the system's
// socket headers, which declare addrinfo and the address macros.
#pragma once

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
