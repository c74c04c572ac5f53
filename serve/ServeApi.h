// The service's router: authorization, paths, parameters and bodies checked,
// register work handed to the port's worker, long work to a job. Knows
// nothing of HTTP transport, so the fuzz target drives it directly.
#pragma once
#include "serve/ServeJobs.h"
#include "serve/ServePortWorker.h"
#include "serve/ServeTypes.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct TServeConfig {
    std::string Token;
    std::string WebDir;  // the page's files
    int DefaultSpeed = 19200;
    int DefaultNet = 1;
    std::string ScratchDir;  // where goods files are made for a moment
    // The device of port n (1..256).
    std::function<std::string(int port)> PortDevice;
    // Whether a device can be a register's line at all (a character device
    // that is there); anything else is 404 without taking a worker.
    std::function<bool(const std::string& device)> DeviceExists;
    // Longest wait for a request's answer before 504.
    int AnswerWaitSeconds = 600;
};

class TServeApi {
public:
    explicit TServeApi(TServeConfig config);
    ~TServeApi();
    TServeApi(const TServeApi&) = delete;
    TServeApi& operator=(const TServeApi&) = delete;

    TServeResponse Handle(const TServeRequest& request);
    // Stops in order: jobs asked to stop, waiting requests refused, running
    // exchanges finished, ports closed. BeginStop does the first two and
    // returns at once, so that the requests waiting for answers get them.
    void BeginStop();
    void Stop();

private:
    struct TLine {
        std::string Device;
        int Speed = 0;
        int Net = 0;
    };
    using TWork = std::function<int(TOpsContext& ctx, nlohmann::json& doc)>;

    TServeResponse Api(const TServeRequest& r, const std::vector<std::string>& parts);
    TServeResponse Register(const TServeRequest& r, const std::vector<std::string>& parts);
    TServeResponse Jobs(const TServeRequest& r, const std::vector<std::string>& parts);
    TServeResponse Search(const TServeRequest& r);
    // The port of a path and the line parameters; false with the answer.
    bool Line(const TServeRequest& r, const std::string& port, TLine& line, TServeResponse& refusal);
    // Runs work on the port's worker and waits for it.
    TServeResponse Call(const TLine& line, TWork work, bool ownPort = false);
    // Queues work on the port's worker as a job: 202 with its number.
    TServeResponse StartJob(const TLine& line, const std::string& kind,
                            std::function<int(TOpsContext&, TServeJob&, nlohmann::json&)> work);
    TPortWorker* Worker(const std::string& device);

    TServeConfig config_;
    TServeJobs jobs_;
    std::mutex mutex_;
    bool stopped_ = false;
    std::map<std::string, std::unique_ptr<TPortWorker>> workers_;
    std::vector<std::thread> searches_;
};

// The HTTP status of a failure's kind (200 for none).
int HttpStatusOf(TOpsKind kind);
// The answer to an operation: its document, or its failure (kind, field and
// what it said) with what it had got.
TServeResponse WorkResponse(int status, const nlohmann::json& doc, const std::string& errorText, const TOpsError& error);
