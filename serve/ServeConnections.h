// The connections of the service's HTTP server, held so that no client can
// take the server's threads or memory: each request head must come whole
// within a deadline and a byte budget (the HTTP library reads it through
// TServeConnection, which refuses more), and one address holds at most a
// share of the connections, its slowest head cut to make room for a new one.
#pragma once
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <list>
#include <mutex>
#include <string>

struct TConnectionLimits {
    int PerAddress = 32;                       // connections open from one address
    std::chrono::milliseconds HeadTime{5000};  // the whole request head
    std::chrono::milliseconds IdleTime{5000};  // before the next request of a kept connection
    long long HeadBytes = 64 * 1024;           // request line and headers
    int ReadTimeoutMs = 10000;                 // any one wait for body bytes
    int WriteTimeoutMs = 10000;
    int KeepAliveRequests = 100;
};

// One accepted socket as the HTTP library's stream.
class TServeConnection : public httplib::Stream {
public:
    TServeConnection(socket_t fd, const TConnectionLimits& limits);

    // A request head is awaited from now on, within allowed.
    void AwaitHead(std::chrono::milliseconds allowed);
    void HeadRead() { inHead_ = false; }
    bool InHead() const { return inHead_; }
    std::chrono::steady_clock::time_point Since() const { return since_.load(); }
    // From another thread: a read waiting on the socket returns at once.
    void Cut();
    // The body of this request was refused unread: no further request.
    void CloseAfterAnswer() { closing_ = true; }
    bool Closing() const { return closing_ || cut_; }
    bool WasCut() const { return cut_; }
    const std::string& Address() const { return address_; }

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return fd_; }

private:
    const socket_t fd_;
    const TConnectionLimits limits_;
    std::string address_;
    int port_ = 0;
    std::atomic<bool> inHead_{true}, cut_{false}, closing_{false};
    std::atomic<std::chrono::steady_clock::time_point> since_;
    std::chrono::steady_clock::time_point deadline_;
    long long headLeft_ = 0;
    char buf_[4096];
    std::size_t from_ = 0, to_ = 0;
};

class TServeConnections {
public:
    explicit TServeConnections(TConnectionLimits limits = {}) : limits_(limits) {}
    const TConnectionLimits& Limits() const { return limits_; }

    // Called on the connection's thread before anything is read. When its
    // address holds its share already, the one of them that has waited
    // longest for a head is cut; false (refuse the new one) when none waits.
    // The connection is this thread's until Closed.
    bool Open(TServeConnection& c);
    void Closed(TServeConnection& c);
    // Every connection waiting for a request head is cut (the server stops).
    void CutWaiting();
    // This thread's connection, while it is open.
    static TServeConnection* Current();

private:
    const TConnectionLimits limits_;
    std::mutex mutex_;
    std::list<TServeConnection*> open_;
};
