// The HTTP service against unpaced simulated registers: the time of `info`
// through vornik-cli serve (one keep-alive client) next to the same command
// run in process, median of N each; then 50 clients at once over two ports,
// each with one request: how many were answered, and the time for all.
//
//   bench_ServeRequests [count=200]
#include "app/U_filedirwork.h"
#include "cli/CliCommand.h"
#include "sim/RegisterSimulator.h"

#include <httplib.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// vornik-cli serve in the working directory; its port, read from its start-up line.
pid_t StartService(int& port) {
    int out[2];
    if (pipe(out) != 0) return -1;
    const std::string program = JoinPath(ProgramDir(), "vornik-cli");
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        execl(program.c_str(), program.c_str(), "serve", "--listen", "127.0.0.1:0", "--token-file", "token",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    const auto at = line.find("127.0.0.1:");
    port = at == std::string::npos ? 0 : std::atoi(line.c_str() + at + 10);
    return pid;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 200;
    const auto dir = std::filesystem::temp_directory_path() / ("vornik-bench-serve-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);

    std::vector<std::unique_ptr<TRegisterSimulator>> sims;
    for (int com : {7, 8}) {
        TSimOptions o;
        o.Speed = 0;
        o.ComNumber = com;
        o.PortsDir = (dir / "ports").string();
        sims.push_back(std::make_unique<TRegisterSimulator>(o));
        std::string error;
        if (!sims.back()->Start(error)) {
            std::fprintf(stderr, "simulator: %s\n", error.c_str());
            return 1;
        }
    }

    // In process: what the tool itself takes, without starting a program.
    std::vector<double> local;
    for (int i = 0; i < count; ++i) {
        std::ostringstream out, err;
        const auto t0 = Clock::now();
        if (RunCli({"--port", "7", "--json", "info"}, out, err) != 0) {
            std::fprintf(stderr, "info failed: %s\n", err.str().c_str());
            return 1;
        }
        local.push_back(Ms(t0));
    }

    int port = 0;
    const pid_t pid = StartService(port);
    std::string token;
    ReadFileBytes("token", token);
    token = token.substr(0, 64);
    if (pid <= 0 || port == 0) {
        std::fprintf(stderr, "the service did not start\n");
        return 1;
    }
    httplib::Client client("127.0.0.1", port);
    client.set_bearer_token_auth(token.c_str());
    client.set_keep_alive(true);
    std::vector<double> served;
    for (int i = 0; i < count; ++i) {
        const auto t0 = Clock::now();
        const auto r = client.Get("/api/v1/registers/COM7/info");
        if (!r || r->status != 200) {
            std::fprintf(stderr, "request %d failed\n", i);
            return 1;
        }
        served.push_back(Ms(t0));
    }

    constexpr int kClients = 50;
    std::atomic<int> answered{0}, refused{0};
    std::vector<std::thread> clients;
    const auto t0 = Clock::now();
    for (int i = 0; i < kClients; ++i)
        clients.emplace_back([&, i] {
            httplib::Client c("127.0.0.1", port);
            c.set_bearer_token_auth(token.c_str());
            c.set_read_timeout(120, 0);
            const auto r = c.Get(i % 2 ? "/api/v1/registers/COM7/info" : "/api/v1/registers/COM8/info");
            (r && r->status == 200 ? answered : refused)++;
        });
    for (auto& t : clients) t.join();
    const double together = Ms(t0);

    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    for (auto& s : sims) s->Stop();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(dir);

    const double l = Median(local), s = Median(served);
    std::printf("info in process:       median %.2f ms of %d\n", l, count);
    std::printf("info through service:  median %.2f ms of %d (%.2f times the in-process time)\n", s, count, s / l);
    std::printf("%d clients at once on two ports: %d answered 200, %d not; all done in %.0f ms\n", kClients,
                answered.load(), refused.load(), together);
    return answered == kClients ? 0 : 1;
}
