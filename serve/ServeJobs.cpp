#include "serve/ServeJobs.h"

namespace {

const char* StateWord(TServeJob::TState s) {
    switch (s) {
        case TServeJob::TState::Queued: return "queued";
        case TServeJob::TState::Running: return "running";
        case TServeJob::TState::Done: return "done";
        case TServeJob::TState::Failed: return "failed";
        default: return "stopped";
    }
}

}  // namespace

bool TServeJob::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stop_) return false;
    if (state_ == TState::Queued) state_ = TState::Running;
    return true;
}

bool TServeJob::RequestStopUnlessWriting() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Writes() && state_ == TState::Running) return false;
    stop_ = true;
    return true;
}

void TServeJob::SetProgress(int done, int total) {
    std::lock_guard<std::mutex> lock(mutex_);
    done_ = done;
    total_ = total;
}

void TServeJob::Finish(TState state, nlohmann::json result, const std::string& error, int status) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
    result_ = std::move(result);
    error_ = error;
    status_ = status;
    if (state == TState::Stopped) {
        const std::string reached = "stopped after " + std::to_string(done_) + " of " + std::to_string(total_);
        error_ = error.empty() || error == "stopped" ? reached : error + " (" + reached + ")";
        if (status_ == 0) status_ = 409;
    }
    finishedAt_ = std::chrono::steady_clock::now();
}

void TServeJob::SetFile(std::string bytes, std::string contentType, std::string name) {
    std::lock_guard<std::mutex> lock(mutex_);
    file_ = std::move(bytes);
    fileType_ = std::move(contentType);
    fileName_ = std::move(name);
}

bool TServeJob::File(std::string& bytes, std::string& contentType, std::string& name) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fileType_.empty()) return false;
    bytes = file_;
    contentType = fileType_;
    name = fileName_;
    return true;
}

bool TServeJob::Finished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_ != TState::Queued && state_ != TState::Running;
}

bool TServeJob::Running() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_ == TState::Running;
}

std::string TServeJob::ProgressText() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::to_string(done_) + " of " + std::to_string(total_);
}

std::chrono::steady_clock::time_point TServeJob::FinishedAt() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finishedAt_;
}

nlohmann::json TServeJob::Describe(bool withResult) const {
    std::lock_guard<std::mutex> lock(mutex_);
    nlohmann::json doc = {{"id", Id},
                          {"kind", Kind},
                          {"state", StateWord(state_)},
                          {"progress", {{"done", done_}, {"total", total_}}}};
    if (!error_.empty()) doc["error"] = {{"error", error_}, {"status", status_}};
    if (withResult && !result_.is_null()) doc["result"] = result_;
    return doc;
}

std::shared_ptr<TServeJob> TServeJobs::Add(const std::string& kind, const std::string& device) {
    std::lock_guard<std::mutex> lock(mutex_);
    Prune();
    auto job = std::make_shared<TServeJob>(std::to_string(next_++), kind, device);
    jobs_[job->Id] = job;
    return job;
}

std::shared_ptr<TServeJob> TServeJobs::Find(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = jobs_.find(id);
    return it == jobs_.end() ? nullptr : it->second;
}

bool TServeJobs::Remove(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex_);
    return jobs_.erase(id) > 0;
}

nlohmann::json TServeJobs::List() {
    std::lock_guard<std::mutex> lock(mutex_);
    Prune();
    nlohmann::json list = nlohmann::json::array();
    for (const auto& [id, job] : jobs_) list.push_back(job->Describe(false));
    return list;
}

std::vector<std::shared_ptr<TServeJob>> TServeJobs::StopAll(bool writes) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::shared_ptr<TServeJob>> cut;
    for (const auto& [id, job] : jobs_) {
        if (job->RequestStopUnlessWriting()) continue;
        if (!writes) continue;
        cut.push_back(job);
        job->RequestStop();
    }
    return cut;
}

void TServeJobs::Prune() {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(jobs_, [&](const auto& entry) {
        return entry.second->Finished() && now - entry.second->FinishedAt() > std::chrono::hours(1);
    });
}
