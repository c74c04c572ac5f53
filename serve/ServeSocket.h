// What the service's transport needs from the operating system about a
// connected socket and about host names. The system calls live behind this
// interface (ServeSocketPosix.cpp, ServeSocketWin.cpp).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// A socket of either system: a POSIX descriptor, or a Windows SOCKET, which
// is pointer-sized and would not fit an int.
using TSocket = std::intptr_t;

// The peer's (local: this end's) address as text ("127.0.0.1", "::1") and
// port; empty and 0 when unknown.
void SocketPeer(TSocket fd, std::string& ip, int& port);
void SocketLocal(TSocket fd, std::string& ip, int& port);
// Waits up to ms for the socket to take reading (or writing); false on a
// time-out or an error.
bool SocketWait(TSocket fd, bool forWrite, int ms);
// One receive or send; -1 on an error, 0 at the end of the peer's data.
long SocketReceive(TSocket fd, char* buf, std::size_t size);
long SocketSend(TSocket fd, const char* buf, std::size_t size);
// Ends both directions: a read waiting on the socket returns at once.
void SocketCut(TSocket fd);
void SocketClose(TSocket fd);
// Closes after the answer has left: what the peer still sends is read and
// dropped for a moment (up to ms, up to bytes), so that closing with it
// unread does not reset the connection before the peer has read the answer.
void SocketCloseGently(TSocket fd, int ms, std::size_t bytes);
// Whether every address the name resolves to is a loopback address (false
// when it resolves to none).
bool ResolvesToLoopbackOnly(const std::string& host);
