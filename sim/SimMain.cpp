// vornik-sim: a register on a pseudo-terminal for the configurator to talk to.
#include "sim/RegisterSimulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

void Usage(std::ostream& out) {
    out << "Usage: vornik-sim [options]\n"
           "Plays a cash register on a pseudo-terminal and prints its device path.\n"
           "  --com N          create the link ports/COM<N> in the working directory,\n"
           "                   so that the configurator opens the register as port N\n"
           "  --speed BAUD     line speed the bytes are paced at (19200); 0: no pacing\n"
           "  --strict-speed   hear nothing and lose every answer while the computer's\n"
           "                   side of the line is set to another speed\n"
           "  --net N          network number 1..98 (default: from the state, else 1)\n"
           "  --mode N         mode at start: 0 AUTONOM, 1 ON-LINE, 2 OFF-LINE (default:\n"
           "                   from the state, else 1)\n"
           "  --state FILE     register content in JSON: loaded at start, saved on exit\n"
           "                   and on SIGUSR1 (a missing file starts a default register)\n"
           "  --log FILE       append every frame in and out, in hexadecimal\n"
           "  --echo           send every byte received back first, as a two-wire\n"
           "                   RS-485 line does\n"
           "  --fault FAULT     make a fault (repeatable):\n"
        << SimFaultHelp()
        << "  --stream N:SIZE  answer the next request with N frames of SIZE bytes\n"
           "  --help           this text\n"
           "Runs until interrupted (Ctrl+C or SIGTERM).\n";
}

bool ParseInt(const std::string& text, int& out) {
    try {
        std::size_t used = 0;
        out = std::stoi(text, &used);
        return used == text.size();
    } catch (...) {
        return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    TSimOptions options;
    std::vector<std::string> faults;
    int streamCount = 0, streamSize = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::cerr << "vornik-sim: " << a << " needs a value\n";
                return false;
            }
            out = argv[++i];
            return true;
        };
        const auto number = [&](int& out) {
            std::string v;
            if (!value(v)) return false;
            if (!ParseInt(v, out)) {
                std::cerr << "vornik-sim: " << a << ": \"" << v << "\" is not a number\n";
                return false;
            }
            return true;
        };
        std::string v;
        bool ok = true;
        if (a == "--help" || a == "-h") {
            Usage(std::cout);
            return 0;
        } else if (a == "--com") {
            ok = number(options.ComNumber) && options.ComNumber >= 1 && options.ComNumber <= 256;
            if (!ok) std::cerr << "vornik-sim: --com takes a port number 1..256\n";
        } else if (a == "--speed") {
            ok = number(options.Speed) && options.Speed >= 0;
            if (!ok) std::cerr << "vornik-sim: --speed takes a baud rate, or 0\n";
        } else if (a == "--strict-speed") {
            options.StrictSpeed = true;
        } else if (a == "--net") {
            ok = number(options.NetNumber) && options.NetNumber >= 1 && options.NetNumber <= 98;
            if (!ok) std::cerr << "vornik-sim: --net takes a network number 1..98\n";
        } else if (a == "--mode") {
            ok = number(options.Mode) && options.Mode >= 0 && options.Mode <= 2;
            if (!ok) std::cerr << "vornik-sim: --mode takes 0, 1 or 2\n";
        } else if (a == "--state") {
            ok = value(options.StateFile);
        } else if (a == "--log") {
            ok = value(options.LogFile);
        } else if (a == "--echo") {
            options.Echo = true;
        } else if (a == "--fault") {
            ok = value(v);
            if (ok) faults.push_back(v);
        } else if (a == "--stream") {
            ok = value(v);
            const auto colon = v.find(':');
            ok = ok && colon != std::string::npos && ParseInt(v.substr(0, colon), streamCount) &&
                 ParseInt(v.substr(colon + 1), streamSize) && streamCount > 0 && streamSize >= 3 && streamSize <= 255;
            if (!ok) std::cerr << "vornik-sim: --stream takes FRAMES:SIZE, SIZE 3..255\n";
        } else {
            std::cerr << "vornik-sim: unknown option " << a << "\n";
            Usage(std::cerr);
            return 2;
        }
        if (!ok) return 2;
    }

    TRegisterSimulator sim(options);
    for (const auto& faultText : faults) {
        std::string error;
        if (!sim.AddFault(faultText, error)) {
            std::cerr << "vornik-sim: " << error << "\n";
            return 2;
        }
    }
    if (streamCount > 0) sim.PrepareStream(streamCount, static_cast<std::size_t>(streamSize));

    // The signals are taken by sigwait below, not by the simulator's thread.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    std::string error;
    if (!sim.Start(error)) {
        std::cerr << "vornik-sim: " << error << "\n";
        return 1;
    }
    std::cout << sim.DevicePath() << "\n";
    if (!sim.ComLinkPath().empty()) std::cout << sim.ComLinkPath() << " -> " << sim.DevicePath() << "\n";
    std::cout.flush();

    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0) break;
        if (sig == SIGUSR1) {
            if (!sim.SaveState(error)) std::cerr << "vornik-sim: " << error << "\n";
            continue;
        }
        break;
    }
    if (!sim.Stop()) {
        std::cerr << "vornik-sim: " << sim.StopError() << "\n";
        return 1;
    }
    return 0;
}
