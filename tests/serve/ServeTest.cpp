// vornik-cli serve as a program against simulated registers, through a real
// HTTP client: authorization, each resource, jobs with progress and stop, bad
// input, a port held by another program, two ports at once, the stop.
#include "cli/CliRunner.h"

#include "link/Comport.h"
#include "serve/ServeTypes.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
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
    std::vector<std::thread> clients;
    for (int i = 0; i < 40; ++i)
        clients.emplace_back([&, i] {
            const TAnswer a = Get(*rig.Client(), std::string("/api/v1/registers/COM") + (i % 2 ? "8" : "7") + "/info");
            (a.Status == 200 ? ok : a.Status == 503 ? full : other)++;
            if (a.Status == 200 && a.Body["serialNumber"] != serial[i % 2]) wrong++;
        });
    for (auto& t : clients) t.join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(ok + full, 40);
    EXPECT_GT(ok, 0);
    EXPECT_EQ(wrong, 0) << "an answer came from the other port's register";
}
