#include "serve/ServePortWorker.h"

#include "app/AppHooks.h"
#include "app/Dialog.h"
#include "link/ComportSystem.h"

#include <iostream>
#include <sstream>

TPortWorker::TPortWorker(std::string device) : device_(std::move(device)), thread_([this] { Run(); }) {}

TPortWorker::~TPortWorker() {
    Stop();
    if (thread_.joinable()) thread_.join();
}

bool TPortWorker::Submit(TTask task) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
        task.Refused(TPortOutcome::Stopped, "the service is stopping");
        return true;
    }
    if (queue_.size() >= ServeQueueLimit) return false;
    queue_.push_back(std::move(task));
    wake_.notify_one();
    return true;
}

void TPortWorker::Stop() {
    std::deque<TTask> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        dropped.swap(queue_);
        wake_.notify_one();
    }
    for (auto& t : dropped) t.Refused(TPortOutcome::Stopped, "the service is stopping");
}

void TPortWorker::Run() {
    std::ostringstream err;
    TOpsOptions options;
    options.Device = device_;
    TOpsContext ctx(options, err);
    // The messages of this thread's exchanges go to the request's error text.
    TOpsErrConsole console(std::cerr);
    SetThreadConsole(&console);
    for (;;) {
        TTask task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) break;
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        err.str("");
        ctx.Error = {};
        ctx.Progress = nullptr;
        ctx.StopRequested = nullptr;
        ctx.Options.Speed = task.Speed;
        ctx.Options.Net = task.Net;
        ctx.KKM.NetNumber = static_cast<std::uint8_t>(task.Net);
        if (!ctx.OpenPort()) {
            const bool missing = !ComDeviceExists(device_);
            task.Refused(missing ? TPortOutcome::NoDevice : TPortOutcome::Busy,
                         (missing ? "no device " + device_ : device_ + " cannot be opened (held by another program?)") +
                             "\n" + err.str());
            continue;
        }
        if (task.OwnPort) ctx.Port.Close();
        // Nothing a request does may end the service's thread.
        try {
            task.Work(ctx);
        } catch (const std::exception& e) {
            task.Refused(TPortOutcome::Failed, std::string("internal error: ") + e.what());
        }
        ctx.Port.Close();
    }
    SetThreadConsole(nullptr);
}
