// The service's long operations: each runs in the background and is looked
// at (progress, result) and stopped through its number.
#pragma once
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class TServeJob {
public:
    enum class TState { Queued, Running, Done, Failed, Stopped };

    TServeJob(std::string id, std::string kind, std::string device = "")
        : Id(std::move(id)), Kind(std::move(kind)), Device(std::move(device)) {}

    const std::string Id;
    const std::string Kind;    // "goods read-all", ...
    const std::string Device;  // the port it works on; empty for a search
    // A job that writes to a register is let finish when the service stops.
    bool Writes() const { return Kind.find("write") != std::string::npos; }

    // False, leaving it queued, when a stop was asked for first.
    bool Start();
    void SetProgress(int done, int total);
    // The end of the job: done, failed (error text and the HTTP status the
    // same failure gets as a request) or stopped; a result may come with each.
    // A stopped job always says so with a status (409 unless given) and how
    // far it came.
    void Finish(TState state, nlohmann::json result, const std::string& error = "", int status = 0);
    // A file the job made, served at /api/v1/jobs/ID/file.
    void SetFile(std::string bytes, std::string contentType, std::string name);
    bool File(std::string& bytes, std::string& contentType, std::string& name) const;

    // "Остановить": the job's work asks StopRequested between its steps.
    void RequestStop() { stop_ = true; }
    // Asks unless it is a write already running; whether it asked.
    bool RequestStopUnlessWriting();
    bool StopRequested() const { return stop_; }
    bool Finished() const;
    bool Running() const;
    // "done of total" as the progress stands.
    std::string ProgressText() const;
    std::chrono::steady_clock::time_point FinishedAt() const;

    nlohmann::json Describe(bool withResult) const;

private:
    mutable std::mutex mutex_;
    std::atomic<bool> stop_{false};
    TState state_ = TState::Queued;
    int done_ = 0, total_ = 0;
    nlohmann::json result_;
    std::string error_;
    int status_ = 0;
    std::string file_, fileType_, fileName_;
    std::chrono::steady_clock::time_point finishedAt_;
};

class TServeJobs {
public:
    std::shared_ptr<TServeJob> Add(const std::string& kind, const std::string& device = "");
    std::shared_ptr<TServeJob> Find(const std::string& id);
    bool Remove(const std::string& id);
    nlohmann::json List();
    // Every job still going is asked to stop; with writes false, running
    // writes are left to finish. The running writes asked to stop come back.
    std::vector<std::shared_ptr<TServeJob>> StopAll(bool writes);

private:
    // Finished jobs older than an hour are forgotten.
    void Prune();

    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<TServeJob>> jobs_;
    long long next_ = 1;
};
