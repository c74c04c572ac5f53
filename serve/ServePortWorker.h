// One serial port of the service: a thread of its own that owns the port's
// link objects and carries out the port's requests one at a time in the order
// they came, so that exchanges on one port never mix while different ports
// work at once.
#pragma once
#include "ops/OpsContext.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// The most requests that may wait for one port.
constexpr std::size_t ServeQueueLimit = 32;

// Why a task on a register did not run, for the HTTP status.
enum class TPortOutcome { NoDevice, Busy, Stopped, Failed };

class TPortWorker {
public:
    // A task runs on the worker's thread with the port's context, set to the
    // line of the request; ownPort: the task opens the device itself (a
    // session of the goods or profile operations), so the context's port is
    // only tried and closed again before it runs.
    struct TTask {
        int Speed = 19200;
        int Net = 1;
        bool OwnPort = false;
        // Told NoDevice or Busy (the device could not be opened; why holds
        // what the port said), Stopped (the service stops before it ran) or
        // Failed (the work ended by an exception: why holds its text).
        std::function<void(TOpsContext& ctx)> Work;
        std::function<void(TPortOutcome outcome, const std::string& why)> Refused;
    };

    explicit TPortWorker(std::string device);
    ~TPortWorker();  // Stop, then waits for the running task
    TPortWorker(const TPortWorker&) = delete;
    TPortWorker& operator=(const TPortWorker&) = delete;

    const std::string& Device() const { return device_; }
    // False, taking nothing, when ServeQueueLimit tasks already wait.
    bool Submit(TTask task);
    // Tasks still waiting are refused (Stopped); the running one finishes.
    void Stop();

private:
    void Run();

    std::string device_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TTask> queue_;
    bool stopping_ = false;
    std::thread thread_;
};
