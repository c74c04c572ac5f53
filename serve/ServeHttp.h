// vornik-cli serve: the HTTP server over the router, its start-up and its
// orderly stop on SIGINT or SIGTERM.
#pragma once
#include <iosfwd>
#include <set>
#include <string>

struct TServeOptions {
    std::string Listen = "127.0.0.1:8765";
    std::string TokenFile;  // empty: ServeTokenFileName in the working directory
    bool AllowRemote = false;
    // Host header names served besides the loopback ones and the listen
    // address (a name of this computer that other computers use).
    std::set<std::string> HostNames;
};

// Whether the host part names the loopback interface only (names resolved).
bool IsLoopbackHost(const std::string& host);
// "ADDR:PORT" ("[::1]:8765" for IPv6) into its parts; false when malformed.
bool SplitListen(const std::string& listen, std::string& host, int& port);

// Serves until SIGINT or SIGTERM; an exit status of the tool.
int RunServe(const TServeOptions& options, std::ostream& out, std::ostream& err);
