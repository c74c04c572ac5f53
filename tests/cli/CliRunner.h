// Runs the vornik-cli program beside the test program as a child process and
// collects its output and exit status; the simulator runs in the test's own
// process on a pseudo-terminal, linked as ports/COM7 of a fresh working
// directory.
#pragma once
#include "ChildProcess.h"
#include "app/TextCodec.h"
#include "app/U_filedirwork.h"
#include "sim/RegisterSimulator.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <csignal>
#include <filesystem>
#include <functional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace clitest {

struct TRun {
    int Status = -1;  // exit status; -1 when the program did not run or was killed
    std::string Out;
    std::string Err;
};

inline std::string CliPath() { return JoinPath(ProgramDir(), "vornik-cli"); }

// Reads a child's standard output and error until both close (a terminal
// reads EIO once the program has ended), or a minute passes without output,
// then takes its exit status. onErr sees the error output so far after each
// piece and may signal the child.
inline void CollectChild(TRun& run, pid_t pid, int outFd, int errFd,
                         const std::function<void(const std::string& err, pid_t pid)>& onErr = {}) {
    if (pid <= 0) {
        ADD_FAILURE() << "fork failed";
        close(outFd);
        close(errFd);
        return;
    }
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&run.Out, &run.Err};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, 60000) <= 0) break;  // a minute without output: give up
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buf[4096];
            const ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n > 0) {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
                if (i == 1 && onErr) onErr(run.Err, pid);
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& f : fds)
        if (f.fd >= 0) {
            SignalChild(pid, SIGKILL);
            close(f.fd);
        }
    int status = 0;
    WaitChild(pid, &status);
    if (WIFEXITED(status)) run.Status = WEXITSTATUS(status);
}

// Runs vornik-cli with args in dir (empty: the current directory), feeding
// input to its standard input.
inline TRun RunCli(const std::vector<std::string>& args, const std::string& dir = "", const std::string& input = "") {
    TRun run;
    const std::string program = CliPath();
    if (::access(program.c_str(), X_OK) != 0) {
        ADD_FAILURE() << program << " is missing: build the vornik-cli target";
        return run;
    }
    // Everything the child needs is made before fork: the simulator's thread
    // may hold the allocator's lock at that moment.
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) {
        ADD_FAILURE() << "pipe failed";
        return run;
    }
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (pid > 0 && !input.empty()) (void)!write(in[1], input.data(), input.size());
    close(in[1]);
    CollectChild(run, pid, out[0], err[0]);
    return run;
}

inline std::string FreshDir() {
    static int n = 0;
    auto dir = std::filesystem::temp_directory_path() /
               ("vornik-cli-" + std::to_string(getpid()) + "-" + std::to_string(++n));
    std::filesystem::create_directories(dir);
    return dir.string();
}

// The default register on COM7 of a fresh working directory.
struct TCliRig {
    std::string Dir = FreshDir();
    TRegisterSimulator Sim{Options(Dir)};

    TCliRig() {
        std::string error;
        EXPECT_TRUE(Sim.Start(error)) << error;
    }
    ~TCliRig() {
        Sim.Stop();
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    static TSimOptions Options(const std::string& dir) {
        TSimOptions o;
        o.Speed = 0;
        o.ComNumber = 7;
        o.PortsDir = dir + "/ports";
        return o;
    }
    // vornik-cli --port 7 args..., run in the rig's directory.
    TRun Run(std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), {"--port", "7"});
        return RunCli(args, Dir, input);
    }
    // The same through the device path.
    TRun RunDevice(std::vector<std::string> args) {
        args.insert(args.begin(), {"--device", Sim.DevicePath()});
        return RunCli(args);
    }
    std::string File(const std::string& name, const std::string& text) {
        const std::string path = Dir + "/" + name;
        WriteFileAtomic(path, text);
        return path;
    }
};

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        const auto nl = text.find('\n', from);
        lines.push_back(text.substr(from, nl == std::string::npos ? std::string::npos : nl - from));
        if (nl == std::string::npos) break;
        from = nl + 1;
    }
    return lines;
}

}  // namespace clitest
