// The register search over 8 simulated registers on 8 ports, each hearing only
// its own line speed (8 different speeds, one register at network number 57):
// the time to find them at the settings' network number and at all numbers,
// and the same for each port searched alone, so that the cost of searching
// the ports together shows.
//
//   bench_RegisterSearch [rounds=3]
#include "app/AppHooks.h"
#include "kkm/RegisterSearch.h"
#include "sim/RegisterSimulator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

struct TBenchRegister {
    int Port, Speed, Net;
};
// Speeds that the search reaches early and late (it starts at 19200).
constexpr TBenchRegister kRegisters[] = {{101, 115200, 1}, {102, 57600, 1}, {103, 38400, 57}, {104, 19200, 1},
                                         {105, 9600, 1},   {106, 128000, 1}, {107, 14400, 1}, {108, 4800, 1}};

double Seconds(const std::vector<TSearchPort>& ports, bool allNets, std::size_t& found) {
    TRegisterSearch search;
    search.FirstSpeed = 19200;
    search.NetNumber = 1;
    search.AllNets = allNets;
    const auto t0 = std::chrono::steady_clock::now();
    found = search.Run(ports).size();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    const auto dir = std::filesystem::temp_directory_path() / ("vornik-bench-search-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::current_path(dir);

    std::vector<std::unique_ptr<TRegisterSimulator>> sims;
    for (const auto& r : kRegisters) {
        TSimOptions o;
        o.Speed = r.Speed;
        o.StrictSpeed = true;
        o.ComNumber = r.Port;
        o.NetNumber = r.Net;
        sims.push_back(std::make_unique<TRegisterSimulator>(o));
        std::string error;
        if (!sims.back()->Start(error)) {
            std::fprintf(stderr, "simulator: %s\n", error.c_str());
            return 1;
        }
    }
    auto ports = SearchPortList();
    std::erase_if(ports, [](const TSearchPort& p) { return p.Number < 101 || p.Number > 108; });
    if (ports.size() != 8) {
        std::fprintf(stderr, "expected 8 ports, found %zu\n", ports.size());
        return 1;
    }

    std::printf("round | nets | 8 ports: s (found) | slowest port alone: s | ratio\n");
    for (int round = 1; round <= rounds; ++round) {
        for (const bool allNets : {false, true}) {
            std::size_t found = 0, one = 0;
            const double all = Seconds(ports, allNets, found);
            double slowest = 0;
            // Alone, every port at the settings' number; at all numbers the
            // time hardly depends on the port, so the first stands for all.
            for (std::size_t i = 0; i < (allNets ? 1 : ports.size()); ++i)
                slowest = std::max(slowest, Seconds({ports[i]}, allNets, one));
            std::printf("%5d | %4s | %8.3f (%zu) | %8.3f | %.2f\n", round, allNets ? "all" : "1", all, found, slowest,
                        all / slowest);
            std::fflush(stdout);
        }
    }

    // Stop half a second into a search at all numbers, as "Остановить" does
    // from the window's events: how long until Run returns.
    for (int round = 1; round <= rounds; ++round) {
        TRegisterSearch search;
        search.AllNets = true;
        const auto t0 = std::chrono::steady_clock::now();
        std::chrono::steady_clock::time_point stopAt{};
        AppHooks().ProcessEvents = [&] {
            if (stopAt == std::chrono::steady_clock::time_point{} &&
                std::chrono::steady_clock::now() - t0 >= std::chrono::milliseconds(500)) {
                stopAt = std::chrono::steady_clock::now();
                search.Stop();
            }
        };
        search.Run(ports);
        AppHooks().ProcessEvents = nullptr;
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopAt).count();
        std::printf("stop %d: Run returned %.0f ms after Stop\n", round, ms);
    }
    sims.clear();
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    return 0;
}
