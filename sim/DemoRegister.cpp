#include "sim/DemoRegister.h"

#include "app/U_filedirwork.h"
#include "link/Comport.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Reads one line of the child's output, waiting at most timeoutMs.
bool ReadLine(int fd, std::string& line, int timeoutMs) {
    line.clear();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n <= 0) return false;
        if (c == '\n') return true;
        line += c;
    }
}

}  // namespace

int TDemoRegister::FreePortNumber() {
    for (int n = 1; n <= 256; ++n) {
        // Taken: a device of the machine, or a live link of the ports folder.
        const std::string device = PortDevicePath(n);
        if (!device.empty() && Exists(device)) continue;
        return n;
    }
    return 0;
}

bool TDemoRegister::Start(int speed, const std::string& stateFile, std::string& error) {
    Stop();
    port_ = FreePortNumber();
    if (port_ == 0) {
        error = "no free port number for the demo register";
        return false;
    }
    const std::string sim = JoinPath(ProgramDir(), "vornik-sim");
    // OFF-LINE, the one mode in which every page writes (goods only there).
    std::vector<std::string> args = {sim,     "--com", std::to_string(port_), "--speed", std::to_string(speed),
                                     "--mode", "2",    "--state",             stateFile};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    if (::access(sim.c_str(), X_OK) != 0) {
        error = sim + ": " + std::strerror(errno);
        return false;
    }
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return false;
    }
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // The simulator ends with the configurator, even one killed without a
        // chance to stop it; a parent gone before the request was made is
        // seen as a changed parent id. The configurator's own handling of
        // the stop signals is not the simulator's.
        for (const int sig : {SIGTERM, SIGINT, SIGHUP}) ::signal(sig, SIG_DFL);
        if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || ::getppid() != parent) ::_exit(127);
        ::dup2(out[1], STDOUT_FILENO);
        ::execv(sim.c_str(), argv.data());
        ::_exit(127);
    }
    const int forkError = errno;
    ::close(out[1]);
    if (pid < 0) {
        ::close(out[0]);
        error = sim + ": " + std::strerror(forkError);
        return false;
    }
    pid_ = pid;
    std::string line;
    const bool ready = ReadLine(out[0], line, 5000);
    ::close(out[0]);
    if (!ready || line.empty()) {
        Stop();
        error = sim + " did not start";
        return false;
    }
    device_ = line;
    return true;
}

void TDemoRegister::Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 300; ++i) {  // up to 3 s for the state to be saved
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        ::usleep(10000);
    }
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}
