// The checks made on a request's head, before any of its body is read: the
// Host it was sent to (a page of another site must not reach the service
// through a name that resolves here), the token, whether the path takes a
// body at all, its size and its encoding.
#pragma once
#include "serve/ServeTypes.h"

#include <set>
#include <string>

struct TGateRules {
    std::string Token;
    // Host header values served (without a port): "localhost", "127.0.0.1",
    // "[::1]", the listen address and the names allowed with it.
    std::set<std::string> Hosts;
    std::size_t MaxHeaders = 100;
    std::size_t MaxBody = ServeMaxBody;
};

// The Host names served on a listen address, with any others allowed.
std::set<std::string> ServedHosts(const std::string& listenHost, const std::set<std::string>& others);

// False with the answer when the request is refused on its head alone.
// headerCount counts every header line; r carries no body yet.
bool AdmitHead(const TGateRules& rules, const TServeRequest& r, std::size_t headerCount, TServeResponse& refusal);

// Headers every answer carries: the page may not be framed by another site,
// and it runs only its own files.
void AddSafetyHeaders(TServeResponse& r);
