// vornik-cli serve as a program against simulated registers, through a real
// HTTP client: authorization, each resource, jobs with progress and stop, bad
// input, a port held by another program, two ports at once, the stop.
#include "cli/CliRunner.h"

#include "link/Comport.h"
#include "link/ComportSystem.h"
#include "serve/ServeTypes.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

using namespace clitest;
using nlohmann::json;

namespace {

// The service started in a fresh folder holding simulated registers on the
// given ports; it listens on a free port it names in its start-up line.
struct TServeRig {
    std::string Dir = FreshDir();
    std::vector<std::unique_ptr<TRegisterSimulator>> Sims;
    pid_t Pid = -1;
    int OutFd = -1;
    std::string Token;
    int Port = 0;
    std::unique_ptr<httplib::Client> Http;

    explicit TServeRig(std::vector<int> ports, int speed = 0) {
        for (int port : ports) {
            TSimOptions o = TCliRig::Options(Dir);
            o.ComNumber = port;
            o.Speed = speed;
            Sims.push_back(std::make_unique<TRegisterSimulator>(o));
            std::string error;
            EXPECT_TRUE(Sims.back()->Start(error)) << error;
        }
        const std::string program = CliPath();
        std::vector<std::string> args = {program, "serve", "--listen", "127.0.0.1:0", "--token-file", Dir + "/token"};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        Pid = fork();
        if (Pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            if (chdir(Dir.c_str()) != 0) _exit(126);
            mkdir((Dir + "/tmp").c_str(), 0700);
            setenv("TMPDIR", (Dir + "/tmp").c_str(), 1);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        OutFd = out[0];
        EXPECT_GT(Pid, 0) << "fork failed";
        if (Pid <= 0) return;
        const std::string line = ReadLine();
        const auto at = line.find("127.0.0.1:");
        EXPECT_NE(at, std::string::npos) << line;
        if (at == std::string::npos) return;
        EXPECT_NE(line.find(Dir + "/token"), std::string::npos) << line;
        ReadFileBytes(Dir + "/token", Token);
        Token = Token.substr(0, 64);
        Port = std::stoi(line.substr(at + 10));
        Http = Client();
    }
    // A client of its own, with the token unless told otherwise.
    std::unique_ptr<httplib::Client> Client(bool withToken = true) const {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", Port);
        c->set_read_timeout(120, 0);
        if (withToken) c->set_bearer_token_auth(Token.c_str());
        return c;
    }
    ~TServeRig() {
        if (SignalChild(Pid, SIGKILL)) WaitChild(Pid, nullptr);
        if (OutFd >= 0) close(OutFd);
        for (auto& s : Sims) s->Stop();
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    std::string ReadLine() {
        std::string line;
        char c;
        while (read(OutFd, &c, 1) == 1 && c != '\n') line += c;
        return line;
    }
    // SIGTERM, then the exit status (-1 when it did not exit by itself).
    int Stop() {
        if (!SignalChild(Pid, SIGTERM)) return -1;
        int status = 0;
        for (int i = 0; i < 600 && WaitChild(Pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const pid_t pid = std::exchange(Pid, -1);
        if (WaitChild(pid, &status, WNOHANG) == 0 && !WIFEXITED(status)) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    TSimRegister Register(int i = 0) const { return Sims[i]->State().Register; }
};

// Status and JSON body of an answer (-1: no answer).
struct TAnswer {
    int Status = -1;
    json Body;
};

TAnswer Answer(const httplib::Result& r) {
    TAnswer a;
    if (!r) return a;
    a.Status = r->status;
    a.Body = json::parse(r->body, nullptr, false);
    return a;
}

TAnswer Get(httplib::Client& c, const std::string& path) { return Answer(c.Get(path.c_str())); }
TAnswer Send(httplib::Client& c, const std::string& method, const std::string& path, const std::string& body,
             const std::string& type = "application/json") {
    return Answer(method == "PUT" ? c.Put(path.c_str(), body, type.c_str()) : c.Post(path.c_str(), body, type.c_str()));
}

// Polls a job until it has finished; its last description.
json Finished(httplib::Client& c, const std::string& id) {
    json job;
    for (int i = 0; i < 1200; ++i) {
        job = Get(c, "/api/v1/jobs/" + id).Body;
        if (job.is_object() && job["state"] != "queued" && job["state"] != "running") break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return job;
}

const std::string R = "/api/v1/registers/COM7";

// The service's resident memory bound. AddressSanitizer's shadow memory and
// quarantine make resident sizes meaningless, so its build checks none.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kResidentBoundKb = 0;
#else
constexpr long kResidentBoundKb = 64 * 1024;
#endif

// A line of /proc/PID/status as a number ("VmHWM" in kB, "Threads").
long ProcStatus(pid_t pid, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
    return -1;
}

// A client that speaks raw bytes to the service on 127.0.0.1, as a hostile
// program on the same machine would.
struct TRawClient {
    int Fd = socket(AF_INET, SOCK_STREAM, 0);
    explicit TRawClient(int port) {
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        timeval tv{10, 0};
        setsockopt(Fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        setsockopt(Fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
        EXPECT_EQ(connect(Fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    }
    ~TRawClient() { close(Fd); }
    bool Send(const std::string& bytes) {
        return send(Fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // Sends the head, then the body piece by piece while the service has not
    // answered, at most count pieces.
    void Flood(const std::string& head, const std::string& piece, int count) {
        if (!Send(head)) return;
        for (int i = 0; i < count && !Answered() && Send(piece); ++i) {
        }
    }
    bool Answered() {
        pollfd p{Fd, POLLIN, 0};
        return poll(&p, 1, 0) > 0;
    }
    // The status of the answer; -1 when the connection ended without one.
    int Status() {
        char buf[16] = {};
        const ssize_t n = recv(Fd, buf, 12, MSG_WAITALL);
        return n == 12 && std::string(buf, 9) == "HTTP/1.1 " ? std::atoi(buf + 9) : -1;
    }
};

}  // namespace

TEST(ServeTest, AuthorizationEachResourceAndOrderlyStop) {
    TServeRig rig({7});
    ASSERT_TRUE(rig.Http);
    struct stat st {};
    ASSERT_EQ(stat((rig.Dir + "/token").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(rig.Token.find_first_not_of("0123456789abcdef"), std::string::npos);

    const auto bareClient = rig.Client(false);  // none, then a wrong token
    httplib::Client& bare = *bareClient;
    for (const std::string& token : {std::string(), std::string(64, '0')}) {
        httplib::Headers headers;
        if (!token.empty()) headers.emplace("Authorization", "Bearer " + token);
        const TAnswer a = Answer(bare.Get("/api/v1/ports", headers));
        EXPECT_EQ(a.Status, 401);
        EXPECT_EQ(a.Body["field"], "Authorization");
    }

    httplib::Client& c = *rig.Http;
    const TAnswer ports = Get(c, "/api/v1/ports");
    ASSERT_EQ(ports.Status, 200);
    EXPECT_TRUE(std::any_of(ports.Body.begin(), ports.Body.end(), [](const json& p) { return p["port"] == 7; }));
    const TAnswer info = Get(c, R + "/info");
    ASSERT_EQ(info.Status, 200) << info.Body;
    EXPECT_EQ(info.Body["serialNumber"], rig.Sims[0]->State().Identity.SerialNumber);
    EXPECT_EQ(Get(c, "/api/v1/registers/device/info?device=" + rig.Sims[0]->DevicePath()).Status, 200);
    EXPECT_EQ(Get(c, R + "/taxes").Body.size(), 5u);
    EXPECT_EQ(Get(c, R + "/goods/1").Body["code"], "1");

    // Writes read back and confirm; the register holds what was sent.
    const TAnswer options = Get(c, R + "/options");
    ASSERT_EQ(options.Status, 200);
    const int max = options.Body["options"][2]["max"];
    TAnswer put = Send(c, "PUT", R + "/options", json{{"options", {{{"number", 3}, {"value", max}}}}}.dump());
    EXPECT_EQ(put.Status, 200) << put.Body;
    EXPECT_EQ(put.Body["confirmed"], true);
    EXPECT_EQ(rig.Register().Options[2], max);

    const TAnswer deps = Get(c, R + "/departments");
    ASSERT_EQ(deps.Status, 200);
    json dep = deps.Body[1];
    dep["name"] = "Сыры";
    dep["price"] = "12.50";
    put = Send(c, "PUT", R + "/departments", json{{"departments", {dep}}}.dump());
    EXPECT_EQ(put.Status, 200) << put.Body;
    EXPECT_EQ(rig.Register().Departments[1].Name, "Сыры");
    EXPECT_EQ(rig.Register().Departments[1].Price, 1250);

    EXPECT_EQ(Get(c, R + "/lines").Body["header"]["lines"].size(), 6u);
    put = Send(c, "PUT", R + "/lines", R"({"footer": {"lines": [null, "Ждём вас снова"]}})");
    EXPECT_EQ(put.Status, 200) << put.Body;
    EXPECT_EQ(rig.Register().Footer[1].Text, "Ждём вас снова");

    // A template stored, listed, written back and removed.
    put = Send(c, "POST", R + "/profiles", R"({"name": "Магазин"})");
    ASSERT_EQ(put.Status, 200) << put.Body;
    const std::string key = put.Body["key"];
    EXPECT_EQ(Get(c, "/api/v1/profiles").Body["profiles"][0]["name"], "Магазин");
    // The register changed since: an apply that wrote nothing would leave it so.
    TSimState changed = rig.Sims[0]->State();
    const TSimRegister stored = changed.Register;
    changed.Register.Options[0] ^= 1;
    changed.Register.Departments.back().Name = "Изменён";
    changed.Register.Footer[1].Text = "Другая строка";
    rig.Sims[0]->SetState(changed);
    EXPECT_EQ(Send(c, "POST", R + "/profiles/apply", R"({"name": "Магазин"})").Body["confirmed"], true);
    EXPECT_EQ(rig.Register().Options, stored.Options);
    EXPECT_EQ(rig.Register().Departments.back().Name, stored.Departments.back().Name);
    EXPECT_EQ(rig.Register().Footer[1].Text, "Ждём вас снова");
    EXPECT_EQ(Answer(c.Delete(("/api/v1/profiles/" + key).c_str())).Status, 200);
    EXPECT_EQ(Answer(c.Delete(("/api/v1/profiles/" + key).c_str())).Status, 404);

    // The page's files need no token; nothing outside their folder is served.
    EXPECT_EQ(Get(bare, "/../VornikConfig.ini").Status, 404);
    EXPECT_EQ(Get(bare, "/.hidden").Status, 404);

    EXPECT_EQ(rig.Stop(), 0);
    std::string out;
    char buf[512];
    for (ssize_t n; (n = read(rig.OutFd, buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
    EXPECT_NE(out.find("stopped"), std::string::npos) << out;
    std::string log;
    ReadFileBytes(JoinPath(ProgramDir(), "vornik-cli.log"), log);
    EXPECT_NE(Cp1251ToUtf8(log).rfind("Стоп"), std::string::npos);
    EXPECT_EQ(log.find(rig.Token), std::string::npos) << "the token went to the log";
}

TEST(ServeTest, BadInputIsRefusedAndNothingWritten) {
    TServeRig rig({7});
    ASSERT_TRUE(rig.Http);
    httplib::Client& c = *rig.Http;
    const TSimRegister before = rig.Register();
    const struct {
        std::string Method, Path, Body;
        int Status;
        std::string Field;
    } cases[] = {
        {"PUT", R + "/options", "{\"options\": [", 400, "body"},
        {"PUT", R + "/options", R"({"options": [{"number": 1, "value": 1, "colour": 2}]})", 400, "options[0].colour"},
        {"PUT", R + "/options", R"({"options": [{"number": 1, "value": 256}]})", 400, "options[0].value"},
        {"PUT", R + "/options", R"({"options": [{"number": 1, "value": 200}]})", 400, "options[0].value"},  // model's range
        {"PUT", R + "/departments", R"({"departments": [{"number": 2, "kind": "goods", "name": "x", "price": "1.234"}]})",
         400, "departments[0].price"},
        {"PUT", R + "/lines", R"({"header": {"lines": ["ok", "✓ not in code page 1251"]}})", 400, "header.lines[1]"},
        {"POST", R + "/profiles", json{{"name", std::string(80, 'x')}}.dump(), 400, "name"},  // kept at 30 once
        {"POST", R + "/profiles", R"({"name": "Магазин 🛒"})", 400, "name"},
        {"GET", "/api/v1/registers/device/info?device=/dev/null", "", 404, ""},  // not serial ports
        {"GET", "/api/v1/registers/device/info?device=/dev/ptmx", "", 404, ""},
        {"GET", "/api/v1/registers/device/info?device=/dev/console", "", 404, ""},
        {"GET", R + "/info?speed=12345", "", 400, "speed"},
        {"GET", R + "/info?net=99", "", 400, "net"},
        {"POST", R + "/goods/write-all", "CODE;NAME\r\n1;x\r\n", 400, "body"},
        {"GET", "/api/v1/registers/COM300/info", "", 404, ""},
        {"GET", "/api/v1/registers/COM96/info", "", 404, ""},
        {"GET", R + "/nothing", "", 404, ""},
        {"GET", "/api/v1/jobs/12345", "", 404, ""},
        {"DELETE", R + "/info", "", 405, ""},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.Method + " " + k.Path + " " + k.Body);
        const TAnswer a = k.Method == "GET"      ? Get(c, k.Path)
                          : k.Method == "DELETE" ? Answer(c.Delete(k.Path.c_str()))
                                                 : Send(c, k.Method, k.Path, k.Body, k.Path.find("goods") != std::string::npos ? "text/csv" : "application/json");
        EXPECT_EQ(a.Status, k.Status) << a.Body;
        ASSERT_TRUE(a.Body.is_object() && a.Body.contains("error")) << a.Body;
        if (!k.Field.empty()) {
            EXPECT_EQ(a.Body["field"], k.Field);
        }
    }
    EXPECT_EQ(rig.Register().Options, before.Options);
    EXPECT_EQ(rig.Register().Departments[1].Name, before.Departments[1].Name);
    EXPECT_EQ(rig.Register().Header[1].Text, before.Header[1].Text);

    TAnswer big = Send(c, "POST", R + "/goods/write-all", std::string(ServeMaxBody + 1, 'x'), "text/csv");
    EXPECT_EQ(big.Status, 413);

    TComPort holder;  // another program holds the port
    holder.SetDevicePath(rig.Sims[0]->DevicePath());
    ASSERT_TRUE(holder.Open());
    EXPECT_EQ(Get(c, R + "/info").Status, 409);
    holder.Close();
    EXPECT_EQ(Get(c, R + "/info").Status, 200);
}

TEST(ServeTest, JobsShowProgressResultsAndStop) {
    TServeRig rig({7}, 19200);  // paced: the transfers take a while
    ASSERT_TRUE(rig.Http);
    httplib::Client& c = *rig.Http;

    TSimState s;
    TAnswer started = Send(c, "POST", R + "/journal/read", "");
    ASSERT_EQ(started.Status, 202) << started.Body;
    json job = Finished(c, started.Body["id"]);
    EXPECT_EQ(job["state"], "done") << job;
    EXPECT_GT(job["result"]["operations"].get<int>(), 0);
    EXPECT_EQ(job["progress"]["done"], job["result"]["operations"]);

    started = Send(c, "POST", R + "/goods/read-all", "");
    ASSERT_EQ(started.Status, 202);
    job = Finished(c, started.Body["id"]);
    ASSERT_EQ(job["state"], "done") << job;
    const auto file = c.Get(job["result"]["file"].get<std::string>().c_str());
    ASSERT_TRUE(file);
    EXPECT_NE(file->body.find("CODE;TYPE;NAME"), std::string::npos);
    EXPECT_EQ(job["result"]["records"].get<std::size_t>(), rig.Register().Goods.size());

    // Stopped once it has shown progress, as "Остановить" does; a longer
    // table keeps it running until then.
    s = rig.Sims[0]->State();
    for (int code = 1000; code < 1400; ++code) s.Register.Goods[code] = s.Register.Goods.begin()->second;
    rig.Sims[0]->SetState(s);
    started = Send(c, "POST", R + "/goods/read-all", "");
    const std::string id = started.Body["id"];
    for (int i = 0; i < 600 && Get(c, "/api/v1/jobs/" + id).Body["progress"]["done"] == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Answer(c.Delete(("/api/v1/jobs/" + id).c_str())).Status, 200);
    job = Finished(c, id);
    EXPECT_EQ(job["state"], "stopped") << job;

    // A write-all off-line: every row read back.
    s = rig.Sims[0]->State();
    s.Identity.Mode = 2;
    rig.Sims[0]->SetState(s);
    started = Send(c, "POST", R + "/goods/write-all",
                   "CODE;TYPE;NAME;NG;PRICE;SECTION;VESOVOY;SHTRIH;ISBLOCK;COUNT\r\n77;170;Сыр;1;350,50;1;1;;0;0\r\n",
                   "text/csv");
    ASSERT_EQ(started.Status, 202) << started.Body;
    job = Finished(c, started.Body["id"]);
    EXPECT_EQ(job["state"], "done") << job;
    EXPECT_EQ(rig.Register().Goods.at(77).Price, 35050);
}

TEST(ServeTest, TwoPortsAtOnceEveryRequestAnswered) {
    TServeRig rig({7, 8});
    ASSERT_TRUE(rig.Http);
    // Two registers told apart by their serial numbers: each answer must come from its port's.
    TSimState second = rig.Sims[1]->State();
    second.Identity.SerialNumber = "000000888888";
    rig.Sims[1]->SetState(second);
    const std::string serial[2] = {rig.Sims[0]->State().Identity.SerialNumber, "000000888888"};
    ASSERT_NE(serial[0], serial[1]);
    std::atomic<int> ok{0}, full{0}, other{0}, wrong{0};
    // Fewer clients than the 32 connections one address may hold: past that
    // the service cuts the one waiting longest, as it should.
    constexpr int kClients = 30;
    std::vector<std::thread> clients;
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&, i] {
            const TAnswer a = Get(*rig.Client(), std::string("/api/v1/registers/COM") + (i % 2 ? "8" : "7") + "/info");
            (a.Status == 200 ? ok : a.Status == 503 ? full : other)++;
            if (a.Status == 200 && a.Body["serialNumber"] != serial[i % 2]) wrong++;
        });
    for (auto& t : clients) t.join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(ok + full, kClients);
    EXPECT_GT(ok, 0);
    EXPECT_EQ(wrong, 0) << "an answer came from the other port's register";
}

// What a hostile program on the same machine tried, each with the bound the
// service must hold: its answer, its time, and the service's resident memory.
TEST(ServeTest, HostileNeighbourIsHeldOff) {
    TServeRig rig({7});
    ASSERT_TRUE(rig.Http);
    const std::string auth = "Authorization: Bearer " + rig.Token + "\r\n";
    const std::string post = "POST /api/v1/search HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    const std::string chunk = "10000\r\n" + std::string(0x10000, '0') + "\r\n";  // 64 KB
    std::string header = "X-Filler: " + std::string(8180, 'a') + "\r\n";            // 8 KB
    const struct {
        std::string What;
        std::function<void(TRawClient&)> Attack;
        int Status;
        int MaxMs;
    } attacks[] = {
        {"200 MB chunked, no token", [&](TRawClient& c) { c.Flood(post + "Transfer-Encoding: chunked\r\n\r\n", chunk, 3200); }, 401, 3000},
        {"200 MB chunked, token", [&](TRawClient& c) { c.Flood(post + auth + "Transfer-Encoding: chunked\r\n\r\n", chunk, 3200); }, 413, 5000},
        {"no length, token", [&](TRawClient& c) { c.Flood(post + auth + "\r\n", chunk, 3200); }, 413, 5000},
        {"100 GB declared", [&](TRawClient& c) { c.Send(post + auth + "Content-Length: 100000000000\r\n\r\n"); }, 413, 1000},
        {"gzip body", [&](TRawClient& c) { c.Flood(post + auth + "Content-Encoding: gzip\r\nContent-Length: 300000\r\n\r\n", std::string(1000, 0), 300); }, 415, 1000},
        {"20,000 headers of 8 KB", [&](TRawClient& c) { c.Flood("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n", header, 20000); }, 400, 2000},
        {"a page of another site (DNS rebinding)", [&](TRawClient& c) { c.Send("GET / HTTP/1.1\r\nHost: evil.example:8765\r\n\r\n"); }, 421, 1000},
        {"a body for a path without one", [&](TRawClient& c) { c.Send("DELETE /api/v1/ports HTTP/1.1\r\nHost: localhost\r\n" + auth + "Content-Length: 5\r\n\r\nxxxxx"); }, 404, 1000},
    };
    for (const auto& a : attacks) {
        SCOPED_TRACE(a.What);
        const auto t0 = std::chrono::steady_clock::now();
        TRawClient c(rig.Port);
        a.Attack(c);
        EXPECT_EQ(c.Status(), a.Status);
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count(), a.MaxMs);
        if (kResidentBoundKb > 0) EXPECT_LT(ProcStatus(rig.Pid, "VmHWM"), kResidentBoundKb) << "kB resident at the most";
    }

    // "bearer" is the same scheme; the answers forbid framing by other sites.
    httplib::Headers lower = {{"Authorization", "bearer " + rig.Token}};
    const auto ports = rig.Client(false)->Get("/api/v1/ports", lower);
    ASSERT_TRUE(ports);
    EXPECT_EQ(ports->status, 200);
    EXPECT_EQ(ports->get_header_value("X-Frame-Options"), "DENY");
    EXPECT_NE(ports->get_header_value("Content-Security-Policy").find("default-src 'self'"), std::string::npos);

    // Spellings of one device share its worker: no 409 from itself, no
    // thread per spelling.
    const std::string pts = ComResolvePath(rig.Sims[0]->DevicePath());
    ASSERT_EQ(pts.rfind("/dev/pts/", 0), 0u) << pts;
    const long threads = ProcStatus(rig.Pid, "Threads");
    for (int i = 1; i <= 40; ++i) {
        const std::string spelt = "/dev" + std::string(static_cast<std::size_t>(i), '/') + "pts/./" + pts.substr(9);
        ASSERT_EQ(Get(*rig.Http, "/api/v1/registers/device/info?device=" + spelt).Status, 200) << spelt;
    }
    EXPECT_LE(ProcStatus(rig.Pid, "Threads"), threads + 1);

    // Uploads are kept in a folder of the service's own, and nowhere after.
    EXPECT_EQ(Send(*rig.Http, "POST", R + "/goods/write-all", "CODE;NAME\r\n1;x\r\n", "text/csv").Status, 400);
    std::vector<std::filesystem::path> scratch;
    for (const auto& e : std::filesystem::directory_iterator(rig.Dir + "/tmp")) scratch.push_back(e.path());
    ASSERT_EQ(scratch.size(), 1u);
    struct stat st {};
    ASSERT_EQ(stat(scratch[0].c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(std::filesystem::is_empty(scratch[0]));
    EXPECT_EQ(rig.Stop(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(rig.Dir + "/tmp"));
}

TEST(ServeTest, SlowClientsDoNotStallThePage) {
    TServeRig rig({7});
    ASSERT_TRUE(rig.Http);
    std::vector<std::unique_ptr<TRawClient>> slow;
    for (int i = 0; i < 200; ++i) {
        slow.push_back(std::make_unique<TRawClient>(rig.Port));
        slow.back()->Send("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    }
    for (int round = 0; round < 4; ++round) {
        for (auto& c : slow) c->Send("X-Slow: 1\r\n");
        for (const char* path : {"/", "/api/v1/ports"}) {
            const auto t0 = std::chrono::steady_clock::now();
            EXPECT_EQ(Get(*rig.Client(), path).Status, std::string(path) == "/" ? 200 : 200) << path;
            EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count(), 1000)
                << path << " in round " << round;
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    // The head deadline (5 s from its accept) ends every slow connection:
    // each is answered or closed.
    std::vector<pollfd> waiting;
    for (auto& c : slow) waiting.push_back({c->Fd, POLLIN, 0});
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!waiting.empty() && std::chrono::steady_clock::now() < until) {
        poll(waiting.data(), waiting.size(), 100);
        std::erase_if(waiting, [](const pollfd& p) { return p.revents != 0; });
    }
    EXPECT_EQ(waiting.size(), 0u);
}

TEST(ServeTest, StopLetsAWriteFinishAndSearchWaitsItsTurn) {
    TServeRig rig({7}, 19200);
    ASSERT_TRUE(rig.Http);
    httplib::Client& c = *rig.Http;
    TSimState s = rig.Sims[0]->State();
    s.Identity.Mode = 2;  // off-line: goods may be written
    rig.Sims[0]->SetState(s);
    std::string csv = "CODE;TYPE;NAME;NG;PRICE;SECTION;VESOVOY;SHTRIH;ISBLOCK;COUNT\r\n";
    for (int code = 100; code < 300; ++code) csv += std::to_string(code) + ";170;Товар;1;1,50;1;1;;0;0\r\n";
    const TAnswer started = Send(c, "POST", R + "/goods/write-all", csv, "text/csv");
    ASSERT_EQ(started.Status, 202) << started.Body;
    const std::string id = started.Body["id"];
    // A search meanwhile waits for the write and then finds the register.
    const TAnswer search = Send(c, "POST", "/api/v1/search", R"({"ports": [7]})");
    ASSERT_EQ(search.Status, 202);
    const json found = Finished(c, search.Body["id"]);
    EXPECT_EQ(found["state"], "done") << found;
    EXPECT_EQ(found["result"].size(), 1u) << found;

    const TAnswer second = Send(c, "POST", R + "/goods/write-all", csv, "text/csv");
    ASSERT_EQ(second.Status, 202);
    for (int i = 0; i < 600 && Get(c, "/api/v1/jobs/" + second.Body["id"].get<std::string>()).Body["progress"]["done"] == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.Stop(), 0);  // SIGTERM in the middle of the write
    const TSimRegister reg = rig.Register();
    EXPECT_EQ(reg.Goods.count(100) + reg.Goods.count(299), 2u);
    EXPECT_EQ(reg.Goods.at(299).Price, 150);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - t0).count(), 60);
}

TEST(ServeTest, UnsafeStartsAreRefused) {
    const std::string dir = FreshDir();
    const std::string cli = CliPath();
    const auto run = [&](const std::string& args) {
        return std::system(("timeout 20 " + cli + " serve " + args + " >" + dir + "/out 2>&1").c_str());
    };
    std::ofstream(dir + "/shared") << std::string(64, 'a') << "\n";
    chmod((dir + "/shared").c_str(), 0644);
    EXPECT_EQ(WEXITSTATUS(run("--listen 127.0.0.1:0 --token-file " + dir + "/shared")), 1);
    std::string out;
    ReadFileBytes(dir + "/out", out);
    EXPECT_NE(out.find("chmod 600"), std::string::npos) << out;
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    EXPECT_EQ(WEXITSTATUS(run("--listen 127.0.0.1:0 --token-file " + dir + "/fifo")), 1);
    // A name that only looks like a loopback address.
    EXPECT_EQ(WEXITSTATUS(run("--listen 127.0.0.1.example.invalid:0 --token-file " + dir + "/t")), 2);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
