#include "serve/ServeApi.h"

#include "app/Dialog.h"
#include "app/U_filedirwork.h"
#include "ops/RegisterOps.h"
#include "ops/OpsText.h"
#include "goods/GoodsExchange.h"
#include "kkm/KKMCommands.h"
#include "serve/ServeBodies.h"
#include "serve/ServeStatic.h"
#include "serve/ServeToken.h"
#include "settings/Unitbd.h"

#include <sys/stat.h>
#include <unistd.h>

#include <future>
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

std::vector<std::string> Split(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t from = 1;
    while (from <= path.size()) {
        const auto slash = std::min(path.find('/', from), path.size());
        parts.push_back(path.substr(from, slash - from));
        from = slash + 1;
    }
    if (!parts.empty() && parts.back().empty()) parts.pop_back();  // a trailing slash
    return parts;
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
    if (!config_.DeviceExists)
        config_.DeviceExists = [](const std::string& device) {
            struct stat st {};
            return stat(device.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
        };
}

TServeApi::~TServeApi() { Stop(); }

void TServeApi::BeginStop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
    jobs_.StopAll();
    for (auto& [device, w] : workers_) w->Stop();
}

void TServeApi::Stop() {
    BeginStop();
    std::map<std::string, std::unique_ptr<TPortWorker>> workers;
    std::vector<std::thread> searches;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workers.swap(workers_);
        searches.swap(searches_);
    }
    workers.clear();  // each waits for its running exchange
    for (auto& t : searches)
        if (t.joinable()) t.join();
}

TPortWorker* TServeApi::Worker(const std::string& device) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return nullptr;
    auto& w = workers_[device];
    if (!w) w = std::make_unique<TPortWorker>(device);
    return w.get();
}

TServeResponse TServeApi::Handle(const TServeRequest& r) {
    const auto parts = Split(r.Path);
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
    if (!config_.DeviceExists(line.Device)) {
        refusal = ErrorResponse(404, "no device " + line.Device);
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
    if (!worker) return ErrorResponse(503, "the service is stopping");
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
    if (!worker) return ErrorResponse(503, "the service is stopping");
    auto job = jobs_.Add(kind);
    TPortWorker::TTask task;
    task.Speed = line.Speed;
    task.Net = line.Net;
    task.OwnPort = true;
    task.Work = [job, work](TOpsContext& ctx) {
        if (job->StopRequested()) {
            job->Finish(TServeJob::TState::Stopped, nullptr, "stopped before it started", 0);
            return;
        }
        job->Start();
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
                unlink(path.c_str());
                return status;
            });
        }
        // write-all: the body is checked whole before the job is queued.
        const std::string type = r.Header("content-type");
        const bool csv = formatGiven ? format == "csv" : type.rfind("text/csv", 0) == 0;
        if (r.Body.empty()) return ErrorResponse(400, "the body is empty: a CSV or dBase goods file is needed", "body");
        static std::atomic<long long> counter{0};
        const std::string path = JoinPath(config_.ScratchDir, "vornik-serve-upload-" + std::to_string(getpid()) + "-" +
                                                                  std::to_string(++counter) + (csv ? ".csv" : ".dbf"));
        if (!WriteFileAtomic(path, r.Body)) return ErrorResponse(500, "cannot keep the body in " + config_.ScratchDir);
        {
            std::ostringstream err;
            TOpsContext check({}, err);
            TBD bd;
            if (CheckGoodsFile(check, path, bd.mtTOBAP) != OpsOk) {
                unlink(path.c_str());
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
        return StartJob(line, "goods write-all", [path](TOpsContext& ctx, TServeJob&, json& doc) {
            const int status = WriteAllGoods(ctx, path, doc);
            unlink(path.c_str());
            return status;
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

TServeResponse TServeApi::Search(const TServeRequest& r) {
    TOpsOptions options;
    options.Speed = config_.DefaultSpeed;
    options.Net = config_.DefaultNet;
    TBodyError error;
    if (!ParseSearchBody(r.Body, options, error)) return ErrorResponse(400, error.Text, error.Field);
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopped_) return ErrorResponse(503, "the service is stopping");
    auto job = jobs_.Add("search");
    searches_.emplace_back([job, options] {
        std::ostringstream err;
        TOpsContext ctx(options, err);
        TOpsErrConsole console(err);
        SetThreadConsole(&console);
        job->Start();
        ctx.Progress = [job](int done, int total) { job->SetProgress(done, total); };
        ctx.StopRequested = [job] { return job->StopRequested(); };
        json list;
        try {
            if (SearchJson(ctx, list) == OpsOk)
                job->Finish(job->StopRequested() ? TServeJob::TState::Stopped : TServeJob::TState::Done, list);
            else
                job->Finish(TServeJob::TState::Failed, nullptr, ErrorText(err.str()), 400);
        } catch (const std::exception& e) {
            job->Finish(TServeJob::TState::Failed, nullptr, std::string("internal error: ") + e.what(), 500);
        }
        SetThreadConsole(nullptr);
    });
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
