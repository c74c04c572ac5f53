// `vornik-cli goods read-all` against a bare client doing the same goods read
// on the simulator paced at a real line speed: the tool's program started
// as a shell would start it, the client in process on its own port and link
// (the streamed read of code 1 with the flag set, then DISC), taking turns,
// N rounds each. Also the bare client with the identity read before the
// goods read, which is what the tool needs for the capacity and the serial
// number, and with the window's whole connect (identity, clock, options),
// which the tool did before. Prints the best and the median of each and the
// ratios.
//
//   bench_CliGoodsRead [rounds=5] [baud=19200]
#include "app/U_filedirwork.h"
#include "kkm/KKMCommands.h"
#include "link/U_protocolkkm.h"
#include "sim/RegisterSimulator.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Best(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// The tool as a program; its exit status.
int RunTool(int baud) {
    const std::string program = JoinPath(ProgramDir(), "vornik-cli");
    const std::string speed = std::to_string(baud);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
        execl(program.c_str(), program.c_str(), "--port", "7", "--speed", speed.c_str(), "goods", "read-all", "--out",
              "goods.dbf", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What a bare client asks before the goods read.
enum class TBefore { Nothing, Identity, Connect };

// The goods read on a port of its own, after what is asked first; the number
// of goods packets, -1 on failure.
int BareRead(const std::string& device, int baud, TBefore before) {
    TComPort port;
    port.SetDevicePath(device);
    if (!port.SetSpeed(baud) || !port.Open()) return -1;
    TKKM kkm;
    kkm.Port = &port;
    TProtocolKKM link(&kkm);
    if (before != TBefore::Nothing && !link.GetKKMInfo()) return -1;
    if (before == TBefore::Connect && (!link.GetDateTime() || !link.GetOptions())) return -1;
    int packets = 0;
    link.OnData = [&](TKKMPacket& p, bool&) { packets += p.Length > 3 && p.Data[2] == 0; };
    TKKMPacket request = kkmcmd::Request({0x01, 0x10, 0x01, 0x00});
    TKKMPacket answer;
    const bool ok = link.Exchange(request, answer, true);
    link.SendControl(0xC0);
    port.Close();
    return ok ? packets : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    const int baud = argc > 2 ? std::atoi(argv[2]) : 19200;
    if (rounds < 1 || baud < 2400) {
        std::fprintf(stderr, "usage: bench_CliGoodsRead [rounds>=1] [baud>=2400]\n");
        return 2;
    }
    const auto dir = std::filesystem::temp_directory_path() / ("vornik-bench-cligoods-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);

    TSimOptions o;
    o.Speed = baud;
    o.ComNumber = 7;
    o.PortsDir = (dir / "ports").string();
    TRegisterSimulator sim(o);
    std::string error;
    if (!sim.Start(error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }

    std::vector<double> tool, bare, bareIdentity, bareConnect;
    int records = -1;
    for (int round = 0; round < rounds; ++round) {
        auto t0 = Clock::now();
        if (const int status = RunTool(baud); status != 0) {
            std::fprintf(stderr, "vornik-cli goods read-all ended with status %d\n", status);
            return 1;
        }
        tool.push_back(Seconds(t0));
        t0 = Clock::now();
        records = BareRead(sim.DevicePath(), baud, TBefore::Nothing);
        bare.push_back(Seconds(t0));
        t0 = Clock::now();
        const int withIdentity = BareRead(sim.DevicePath(), baud, TBefore::Identity);
        bareIdentity.push_back(Seconds(t0));
        t0 = Clock::now();
        const int withConnect = BareRead(sim.DevicePath(), baud, TBefore::Connect);
        bareConnect.push_back(Seconds(t0));
        if (records < 1 || withIdentity != records || withConnect != records) {
            std::fprintf(stderr, "the bare read failed (%d, %d, %d records)\n", records, withIdentity, withConnect);
            return 1;
        }
    }
    sim.Stop();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(dir);

    std::printf("%d goods records at %d baud, %d rounds\n", records, baud, rounds);
    std::printf("vornik-cli goods read-all:        best %.3f s, median %.3f s\n", Best(tool), Median(tool));
    std::printf("bare goods read:                  best %.3f s, median %.3f s\n", Best(bare), Median(bare));
    std::printf("bare identity and goods read:     best %.3f s, median %.3f s\n", Best(bareIdentity),
                Median(bareIdentity));
    std::printf("bare connect and goods read:      best %.3f s, median %.3f s\n", Best(bareConnect),
                Median(bareConnect));
    std::printf("tool / bare goods read:           best %.3f, median %.3f (target 1.05 or less)\n",
                Best(tool) / Best(bare), Median(tool) / Median(bare));
    std::printf("tool / bare identity and goods:   best %.3f, median %.3f\n", Best(tool) / Best(bareIdentity),
                Median(tool) / Median(bareIdentity));
    return 0;
}
