#include "serve/ServeApi.h"

#include "app/Dialog.h"
#include "app/Platform.h"
#include "app/U_filedirwork.h"
#include "ops/RegisterOps.h"
#include "ops/OpsText.h"
#include "goods/GoodsExchange.h"
#include "kkm/KKMCommands.h"
#include "kkm/RegisterSearch.h"
#include "link/ComportSystem.h"
#include "serve/ServeBodies.h"
#include "serve/ServeScratch.h"
#include "serve/ServeStatic.h"
#include "serve/ServeToken.h"
#include "settings/Unitbd.h"

#include <algorithm>
#include <future>
#include <set>
#include <sstream>

using nlohmann::json;

namespace {

int RefusalStatus(TPortOutcome outcome) {
    switch (outcome) {
        case TPortOutcome::NoDevice: return 404;
        case TPortOutcome::Busy: return 409;
        case TPortOutcome::Stopped: return 503;
        default: return 500;
    }
}

// What the tool said on its error stream, as one line for an answer: without
// the tool's name, the console's time stamps and message kinds.
std::string ErrorText(const std::string& said) {
    std::istringstream in(said);
    std::string line, out;
    while (std::getline(in, line)) {
        if (line.rfind("vornik-cli: ", 0) == 0) line = line.substr(12);
        if (line.size() > 9 && line[2] == ':' && line[5] == ':' && line[8] == ' ' &&
            line.find_first_not_of("0123456789:") == 8)
            line = line.substr(9);
        for (const char* kind : {"Error:", "Warning:"})
            if (line.rfind(kind, 0) == 0) line = line.substr(std::char_traits<char>::length(kind));
        if (line.empty()) continue;
        out += (out.empty() ? "" : "; ") + line;
    }
    return out.empty() ? "the register gave no answer" : out;
}

TServeResponse MethodNotAllowed() { return ErrorResponse(405, "method not allowed here"); }

// The profile store is one folder of files for every port.
std::mutex& ProfileStoreMutex() {
    static std::mutex m;
    return m;
}

}  // namespace

int HttpStatusOf(TOpsKind kind) {
    switch (kind) {
        case TOpsKind::None: return 200;
        case TOpsKind::BadInput:
        case TOpsKind::FileError: return 400;
        case TOpsKind::PortMissing: return 404;
        case TOpsKind::PortBusy:
        case TOpsKind::NotSerial:
        case TOpsKind::Stopped: return 409;
        case TOpsKind::NoAnswer:
        case TOpsKind::Refused:
        case TOpsKind::NotKept: return 502;
    }
    return 502;
}

TServeResponse WorkResponse(int status, const json& doc, const std::string& errorText, const TOpsError& error) {
    if (status == OpsOk) return JsonResponse(200, doc);
    const TOpsKind kind = error.Kind == TOpsKind::None ? TOpsKind::Refused : error.Kind;
    TServeResponse r = ErrorResponse(HttpStatusOf(kind), ErrorText(errorText), error.Field);
    {
        json body = json::parse(r.Body);
        body["kind"] = OpsKindName(kind);
        if (!doc.is_null()) body["result"] = doc;
        r.Body = body.dump(-1, ' ', false, json::error_handler_t::replace);
    }
    return r;
}

TServeApi::TServeApi(TServeConfig config) : config_(std::move(config)) {
    if (!config_.DeviceExists) config_.DeviceExists = ComIsSerialDevice;
}

TServeApi::~TServeApi() { Stop(); }

void TServeApi::BeginStop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    jobs_.StopAll(false);
    for (auto& [device, w] : workers_) w->Stop();
}

void TServeApi::Stop() {
    BeginStop();
    std::map<std::string, std::unique_ptr<TPortWorker>> workers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workers.swap(workers_);
    }
    workers.clear();  // each waits for its running exchange
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& job : cutWrites_)
        Mess("Стоп: " + job->Kind + " on " + job->Device + " (job " + job->Id + ") cut by a second signal after " +
                 job->ProgressText() + " rows",
             false, false, true);
    cutWrites_.clear();
}

void TServeApi::CutWrites() {
    auto cut = jobs_.StopAll(true);
    std::lock_guard<std::mutex> lock(mutex_);
    cutWrites_.insert(cutWrites_.end(), cut.begin(), cut.end());
}

TPortWorker* TServeApi::Worker(const std::string& device) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return nullptr;
    // Workers live as long as the service: their number is bounded.
    if (!workers_.count(device) && workers_.size() >= ServeMaxWorkers) return nullptr;
    auto& w = workers_[device];
    if (!w) w = std::make_unique<TPortWorker>(device);
    return w.get();
}

TServeResponse TServeApi::Handle(const TServeRequest& r) {
    const auto parts = ServePathParts(r.Path);
    if (parts.size() < 2 || parts[0] != "api" || parts[1] != "v1") {
        if (r.Method != "GET" && r.Method != "HEAD") return ErrorResponse(404, "no such path");
        TServeResponse page;
        if (!ServeWebFile(config_.WebDir, r.Path, page)) return ErrorResponse(404, "no such file");
        return page;
    }
    if (!BearerMatches(r.Header("authorization"), config_.Token))
        return ErrorResponse(401, "a valid \"Authorization: Bearer <token>\" header is needed", "Authorization");
    return Api(r, parts);
}

TServeResponse TServeApi::Api(const TServeRequest& r, const std::vector<std::string>& parts) {
    const std::string what = parts.size() > 2 ? parts[2] : "";
    if (what == "ports" && parts.size() == 3) {
        if (r.Method != "GET") return MethodNotAllowed();
        return JsonResponse(200, PortsJson());
    }
    if (what == "registers" && parts.size() >= 5) return Register(r, parts);
    if (what == "jobs") return Jobs(r, parts);
    if (what == "profiles" && parts.size() <= 4) {
        if (parts.size() == 3 && r.Method != "GET") return MethodNotAllowed();
        if (parts.size() == 4 && r.Method != "DELETE") return MethodNotAllowed();
        std::lock_guard<std::mutex> lock(ProfileStoreMutex());
        std::ostringstream err;
        TOpsContext ctx({}, err);
        json doc;
        const int status = parts.size() == 3 ? ProfilesJson(ctx, doc) : DeleteProfileKey(ctx, parts[3], doc);
        if (status != OpsOk && ctx.Error.Kind == TOpsKind::BadInput) return ErrorResponse(404, ErrorText(err.str()));
        return WorkResponse(status, doc, err.str(), ctx.Error);
    }
    if (what == "search" && parts.size() == 3) {
        if (r.Method != "POST") return MethodNotAllowed();
        return Search(r);
    }
    return ErrorResponse(404, "no such path");
}

bool TServeApi::Line(const TServeRequest& r, const std::string& port, TLine& line, TServeResponse& refusal) {
    std::string text;
    if (port == "device") {
        if (!r.Param("device", line.Device) || line.Device.empty()) {
            refusal = ErrorResponse(400, "the device path is missing", "device");
            return false;
        }
    } else {
        const std::string digits = port.rfind("COM", 0) == 0 ? port.substr(3) : port;
        long long n = 0;
        if (!ParseWhole(digits, 1, 256, n)) {
            refusal = ErrorResponse(404, "no port " + port + ": ports are COM1..COM256");
            return false;
        }
        line.Device = config_.PortDevice(static_cast<int>(n));
    }
    // One worker per device however its path is spelt, so that the port's
    // requests keep their order.
    line.Device = ComResolvePath(line.Device);
    if (!config_.DeviceExists(line.Device)) {
        refusal = ErrorResponse(404, FileExists(line.Device) ? line.Device + " is not a serial port" : "no device " + line.Device);
        return false;
    }
    long long v = config_.DefaultSpeed;
    if (r.Param("speed", text) && (!ParseWhole(text, 1, 10000000, v) || !IsValidSpeed(static_cast<int>(v)))) {
        refusal = ErrorResponse(400, "not a line speed: 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000",
                                "speed");
        return false;
    }
    line.Speed = static_cast<int>(v);
    v = config_.DefaultNet;
    if (r.Param("net", text) && !ParseWhole(text, 1, 98, v)) {
        refusal = ErrorResponse(400, "a network number is 1..98", "net");
        return false;
    }
    line.Net = static_cast<int>(v);
    return true;
}

TServeResponse TServeApi::Call(const TLine& line, TWork work, bool ownPort) {
    TPortWorker* worker = Worker(line.Device);
    if (!worker) return ErrorResponse(503, stopped_ ? "the service is stopping" : "too many ports in use at once");
    auto answer = std::make_shared<std::promise<TServeResponse>>();
    auto future = answer->get_future();
    TPortWorker::TTask task;
    task.Speed = line.Speed;
    task.Net = line.Net;
    task.OwnPort = ownPort;
    task.Work = [answer, work](TOpsContext& ctx) {
        json doc;
        const int status = work(ctx, doc);
        answer->set_value(WorkResponse(status, doc, static_cast<std::ostringstream&>(ctx.Err).str(), ctx.Error));
    };
    task.Refused = [answer](TPortOutcome outcome, const std::string& why) {
        try {
            answer->set_value(ErrorResponse(RefusalStatus(outcome), ErrorText(why)));
        } catch (const std::future_error&) {  // answered already: the failure came after
        }
    };
    if (!worker->Submit(std::move(task)))
        return ErrorResponse(503, "too many requests wait for " + line.Device + "; try again later");
    if (future.wait_for(std::chrono::seconds(config_.AnswerWaitSeconds)) != std::future_status::ready)
        return ErrorResponse(504, "no answer in time from " + line.Device);
    return future.get();
}

TServeResponse TServeApi::StartJob(const TLine& line, const std::string& kind,
                                   std::function<int(TOpsContext&, TServeJob&, json&)> work) {
    TPortWorker* worker = Worker(line.Device);
    if (!worker) return ErrorResponse(503, stopped_ ? "the service is stopping" : "too many ports in use at once");
    auto job = jobs_.Add(kind, line.Device);
    TPortWorker::TTask task;
    task.Speed = line.Speed;
    task.Net = line.Net;
    task.OwnPort = true;
    task.Work = [job, work](TOpsContext& ctx) {
        if (!job->Start()) {
            job->Finish(TServeJob::TState::Stopped, nullptr, "stopped before it started", 0);
            return;
        }
        ctx.Progress = [job](int done, int total) { job->SetProgress(done, total); };
        ctx.StopRequested = [job] { return job->StopRequested(); };
        json doc;
        const int status = work(ctx, *job, doc);
        if (status == OpsOk) {
            job->Finish(TServeJob::TState::Done, doc);
            return;
        }
        const TServeResponse r = WorkResponse(status, nullptr, static_cast<std::ostringstream&>(ctx.Err).str(), ctx.Error);
        job->Finish(job->StopRequested() ? TServeJob::TState::Stopped : TServeJob::TState::Failed, doc,
                    json::parse(r.Body)["error"].get<std::string>(), r.Status);
    };
    task.Refused = [job](TPortOutcome outcome, const std::string& why) {
        job->Finish(TServeJob::TState::Failed, nullptr, ErrorText(why), RefusalStatus(outcome));
    };
    if (!worker->Submit(std::move(task))) {
        jobs_.Remove(job->Id);
        return ErrorResponse(503, "too many requests wait for " + line.Device + "; try again later");
    }
    return JsonResponse(202, {{"id", job->Id}, {"href", "/api/v1/jobs/" + job->Id}});
}

TServeResponse TServeApi::Register(const TServeRequest& r, const std::vector<std::string>& parts) {
    TLine line;
    TServeResponse refusal;
    if (!Line(r, parts[3], line, refusal)) return refusal;
    const std::string& what = parts[4];
    const std::string& m = r.Method;
    const std::size_t n = parts.size();
    if (n == 5 && (what == "info" || what == "taxes")) {
        if (m != "GET") return MethodNotAllowed();
        return Call(line, what == "info" ? TWork(InfoJson) : TWork(TaxesJson));
    }
    if (n == 5 && (what == "options" || what == "departments" || what == "lines")) {
        if (m == "GET")
            return Call(line, what == "options" ? TWork(OptionsJson) : what == "departments" ? TWork(DepartmentsJson) : TWork(LinesJson));
        if (m != "PUT") return MethodNotAllowed();
        TBodyError error;
        if (what == "options") {
            std::vector<TOptionWant> wanted;
            if (!ParseOptionsInput(r.Body, wanted, error)) return ErrorResponse(400, error.Text, error.Field);
            return Call(line, [wanted](TOpsContext& ctx, json& doc) { return WriteOptions(ctx, wanted, doc); });
        }
        if (what == "departments") {
            std::vector<TDepartmentWant> wanted;
            if (!ParseDepartmentsInput(r.Body, wanted, error)) return ErrorResponse(400, error.Text, error.Field);
            return Call(line, [wanted](TOpsContext& ctx, json& doc) { return WriteDepartments(ctx, wanted, doc); });
        }
        std::map<std::string, TLinesWant> wanted;
        if (!ParseLinesInput(r.Body, wanted, error)) return ErrorResponse(400, error.Text, error.Field);
        return Call(line, [wanted](TOpsContext& ctx, json& doc) { return WriteLines(ctx, wanted, doc); });
    }
    if (n == 6 && what == "goods" && parts[5] != "read-all" && parts[5] != "write-all") {
        if (m != "GET") return MethodNotAllowed();
        long long code = 0;
        if (!ParseWhole(parts[5], 0, MaxSingleGoodsCode, code)) return ErrorResponse(404, "a goods code is 0..9999");
        return Call(line, [code](TOpsContext& ctx, json& doc) { return GoodsJson(ctx, static_cast<int>(code), doc); });
    }
    if (n == 6 && what == "goods") {
        if (m != "POST") return MethodNotAllowed();
        std::string format;
        const bool formatGiven = r.Param("format", format);
        if (formatGiven && format != "csv" && format != "dbf") return ErrorResponse(400, "format is csv or dbf", "format");
        if (parts[5] == "read-all") {
            const bool csv = format != "dbf";
            const std::string scratch = config_.ScratchDir;
            return StartJob(line, "goods read-all", [csv, scratch](TOpsContext& ctx, TServeJob& job, json& doc) {
                const std::string path = JoinPath(scratch, "vornik-serve-goods-" + job.Id + (csv ? ".csv" : ".dbf"));
                const int status = ReadAllGoods(ctx, path, doc);
                std::string bytes;
                if (status == OpsOk && ReadFileBytes(path, bytes)) {
                    job.SetFile(std::move(bytes), csv ? "text/csv; charset=utf-8" : "application/x-dbase",
                                csv ? "goods.csv" : "goods.dbf");
                    doc = {{"records", doc["records"]},
                           {"serialNumber", doc["serialNumber"]},
                           {"format", csv ? "csv" : "dbf"},
                           {"file", "/api/v1/jobs/" + job.Id + "/file"}};
                }
                SysRemoveFile(path);
                return status;
            });
        }
        // write-all: the body is checked whole before the job is queued.
        const std::string type = r.Header("content-type");
        const bool csv = formatGiven ? format == "csv" : type.rfind("text/csv", 0) == 0;
        if (r.Body.empty()) return ErrorResponse(400, "the body is empty: a CSV or dBase goods file is needed", "body");
        auto file = std::make_shared<TScratchFile>();  // removed with the last task that holds it
        if (!file->Create(config_.ScratchDir, csv ? ".csv" : ".dbf", r.Body))
            return ErrorResponse(500, "cannot keep the body in " + config_.ScratchDir);
        const std::string path = file->Path();
        {
            std::ostringstream err;
            TOpsContext check({}, err);
            TBD bd;
            if (CheckGoodsFile(check, path, bd.mtTOBAP) != OpsOk) {
                // The scratch file's name means nothing to the client: the
                // error speaks of the body it sent.
                std::string text = ErrorText(err.str());
                const std::string named = "Файл " + path + ", ";
                for (auto at = text.find(named); at != std::string::npos; at = text.find(named)) text.erase(at, named.size());
                for (auto at = text.find(path); at != std::string::npos; at = text.find(path))
                    text.replace(at, path.size(), "body");
                return ErrorResponse(400, text, "body");
            }
        }
        return StartJob(line, "goods write-all", [file](TOpsContext& ctx, TServeJob&, json& doc) {
            return WriteAllGoods(ctx, file->Path(), doc);
        });
    }
    if (what == "profiles" && (n == 5 || (n == 6 && parts[5] == "apply"))) {
        if (m != "POST") return MethodNotAllowed();
        std::string name;
        bool saved = false;
        TBodyError error;
        if (!ParseProfileBody(r.Body, n == 5, name, saved, error)) return ErrorResponse(400, error.Text, error.Field);
        const bool apply = n == 6;
        return Call(
            line,
            [apply, name, saved](TOpsContext& ctx, json& doc) {
                std::lock_guard<std::mutex> lock(ProfileStoreMutex());
                return apply ? ApplyProfileJson(ctx, name, doc) : SaveProfileJson(ctx, name, saved, doc);
            },
            true);
    }
    if (n == 6 && what == "journal" && parts[5] == "read") {
        if (m != "POST") return MethodNotAllowed();
        return StartJob(line, "journal read", [](TOpsContext& ctx, TServeJob&, json& doc) {
            bool stopped = false;
            return ReadJournal(ctx, doc, stopped);
        });
    }
    return ErrorResponse(404, "no such path");
}

namespace {

// A search's progress over its ports: each port is searched by the port's
// worker, in the port's turn, and the job ends when the last one has.
struct TSearchRun {
    std::mutex Mutex;
    int Left = 0;
    nlohmann::json Found = nlohmann::json::array();
    std::map<int, std::pair<int, int>> Progress;  // port: probes done, all

    void Report(TServeJob& job, int port, int done, int total) {
        std::lock_guard<std::mutex> lock(Mutex);
        Progress[port] = {done, total};
        int d = 0, t = 0;
        for (const auto& [p, dt] : Progress) d += dt.first, t += dt.second;
        job.SetProgress(d, t);
    }
    void PortDone(TServeJob& job, const std::vector<TFoundRegister>& found) {
        std::lock_guard<std::mutex> lock(Mutex);
        for (const auto& f : found)
            Found.push_back({{"port", "COM" + std::to_string(f.Port)}, {"device", f.Device}, {"speed", f.Speed},
                             {"net", f.Net}, {"model", f.Identity.Model}, {"serialNumber", f.Identity.SerialNumber},
                             {"version", f.Identity.Version}});
        if (--Left > 0) return;
        std::sort(Found.begin(), Found.end(), [](const json& a, const json& b) {
            return std::stoi(a["port"].get<std::string>().substr(3)) < std::stoi(b["port"].get<std::string>().substr(3));
        });
        job.Finish(job.StopRequested() ? TServeJob::TState::Stopped : TServeJob::TState::Done, Found);
    }
};

}  // namespace

TServeResponse TServeApi::Search(const TServeRequest& r) {
    TOpsOptions options;
    options.Speed = config_.DefaultSpeed;
    options.Net = config_.DefaultNet;
    TBodyError error;
    if (!ParseSearchBody(r.Body, options, error)) return ErrorResponse(400, error.Text, error.Field);
    std::set<int> wanted;
    for (std::size_t from = 0; from < options.Ports.size();) {
        const auto comma = std::min(options.Ports.find(',', from), options.Ports.size());
        wanted.insert(std::stoi(options.Ports.substr(from, comma - from)));
        from = comma + 1;
    }
    std::vector<std::pair<int, std::string>> ports;  // number, device
    for (int n = 1; n <= 256; ++n) {
        if (!wanted.empty() && !wanted.count(n)) continue;
        const std::string device = ComResolvePath(config_.PortDevice(n));
        if (config_.DeviceExists(device)) ports.emplace_back(n, device);
    }
    if (stopped_) return ErrorResponse(503, "the service is stopping");
    auto job = jobs_.Add("search");
    auto run = std::make_shared<TSearchRun>();
    run->Left = static_cast<int>(ports.size()) + 1;  // one more until all are queued
    for (const auto& [n, device] : ports) {
        TPortWorker::TTask task;
        task.Speed = options.Speed;
        task.Net = options.Net;
        task.OwnPort = true;
        task.Work = [job, run, options, n = n, device = device](TOpsContext&) {
            std::vector<TFoundRegister> found;
            if (!job->StopRequested()) {
                job->Start();
                TRegisterSearch search;
                search.FirstSpeed = options.Speed;
                search.NetNumber = options.Net;
                search.AllNets = options.AllNets;
                search.OnProgress = [&](int done, int total) {
                    run->Report(*job, n, done, total);
                    if (job->StopRequested()) search.Stop();
                };
                found = search.Run({TSearchPort{n, device, false}});
            }
            run->PortDone(*job, found);
        };
        task.Refused = [job, run](TPortOutcome, const std::string&) { run->PortDone(*job, {}); };
        TPortWorker* worker = Worker(device);
        if (!worker || !worker->Submit(std::move(task))) run->PortDone(*job, {});
    }
    run->PortDone(*job, {});
    return JsonResponse(202, {{"id", job->Id}, {"href", "/api/v1/jobs/" + job->Id}});
}

TServeResponse TServeApi::Jobs(const TServeRequest& r, const std::vector<std::string>& parts) {
    if (parts.size() == 3) {
        if (r.Method != "GET") return MethodNotAllowed();
        return JsonResponse(200, jobs_.List());
    }
    if (parts.size() > 5) return ErrorResponse(404, "no such path");
    auto job = jobs_.Find(parts[3]);
    if (!job) return ErrorResponse(404, "no job " + parts[3]);
    if (parts.size() == 5) {
        if (parts[4] != "file") return ErrorResponse(404, "no such path");
        if (r.Method != "GET") return MethodNotAllowed();
        TServeResponse file;
        std::string name;
        if (!job->File(file.Body, file.ContentType, name)) return ErrorResponse(404, "job " + job->Id + " made no file");
        file.Headers["Content-Disposition"] = "attachment; filename=\"" + name + "\"";
        return file;
    }
    if (r.Method == "GET") return JsonResponse(200, job->Describe(true));
    if (r.Method != "DELETE") return MethodNotAllowed();
    if (job->Finished()) {
        jobs_.Remove(job->Id);
        return JsonResponse(200, job->Describe(false));
    }
    job->RequestStop();
    return JsonResponse(200, job->Describe(false));
}
