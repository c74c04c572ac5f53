// Files written under stress: a full disk (the files of a child process may
// not grow past a size: RLIMIT_FSIZE with SIGXFSZ ignored, so a write fails
// as it does on a full disk) and a read-only folder (a read-only bind mount
// in a mount namespace of the child's own when running as root, where
// permissions do not stop writes; the folder's permissions otherwise). The
// operation runs in the child; what it reported comes back through a pipe.
#pragma once
#include "ChildProcess.h"
#include "app/Dialog.h"
#include "app/U_filedirwork.h"
#include "app/Utilscolor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace stresstest {

namespace fs = std::filesystem;

// A folder removed with everything in it at the end of the test.
struct TTempDir {
    TTempDir() {
        static int n = 0;
        Path = (fs::temp_directory_path() /
                ("vornik-stress-" + std::to_string(getpid()) + "-" + std::to_string(++n)))
                   .string();
        fs::create_directories(Path);
    }
    ~TTempDir() {
        std::error_code ec;
        fs::permissions(Path, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(Path, ec);
    }
    std::string operator/(const std::string& name) const { return JoinPath(Path, name); }
    std::string Path;
};

// Everything the message functions showed: boxes and console lines, as
// plain text.
class TMessages : public IConsole, public IDialogService {
public:
    TMessages() {
        SetLogFileName("/dev/null");  // the reports are taken from here
        SetConsole(this);
        SetDialogService(this);
    }
    ~TMessages() override {
        SetConsole(nullptr);
        SetDialogService(nullptr);
        SetLogFileName("");
    }
    int LineCount() const override { return 0; }  // never trimmed
    void DeleteFirstLine() override {}
    void AddLine(const std::string& marked) override {
        std::string text;
        for (const auto& run : ParseConsoleMarkup(marked)) text += run.text;
        Lines.push_back(text);
    }
    void Reset() override {}
    void ShowBox(TBoxKind, const std::string& text) override { Boxes.push_back(text); }
    int ShowQuery(TQueryKind, const std::string&) override { return mrOk; }
    std::string All() const {
        std::string out;
        for (const auto& s : Boxes) out += "box: " + s + "\n";
        for (const auto& s : Lines) out += "line: " + s + "\n";
        return out;
    }

    std::vector<std::string> Lines, Boxes;
};

// What the operation in the child did.
struct TChildRun {
    bool Ok = false;         // the operation's result
    bool Finished = false;   // the child ran to its end (no crash)
    std::string Skipped;     // why the case cannot be made here
    std::vector<std::string> Boxes, Lines;

    bool Said(const std::string& text) const {
        for (const auto* list : {&Boxes, &Lines})
            for (const auto& s : *list)
                if (s.find(text) != std::string::npos) return true;
        return false;
    }
    std::string All() const {
        std::string out;
        for (const auto& s : Boxes) out += "box: " + s + "\n";
        for (const auto& s : Lines) out += "line: " + s + "\n";
        return out;
    }
};

namespace detail {

inline void Put(int fd, const std::string& kind, std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    const std::string line = kind + text + "\n";
    (void)!write(fd, line.data(), line.size());
}

// Runs op in a child after setUp (which may refuse with a reason).
inline TChildRun RunChild(const std::function<std::string()>& setUp, const std::function<bool()>& op) {
    TChildRun run;
    int p[2];
    if (pipe(p) != 0) {
        run.Skipped = "no pipe";
        return run;
    }
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(p[0]);
        close(p[1]);
        run.Lines.push_back("fork failed");  // not finished: the test fails
        return run;
    }
    if (pid == 0) {
        close(p[0]);
        const std::string refused = setUp();
        if (!refused.empty()) {
            Put(p[1], "skip:", refused);
            std::_Exit(0);
        }
        TMessages messages;
        ResetSwitches();
        const bool ok = op();
        for (const auto& b : messages.Boxes) Put(p[1], "box:", b);
        for (const auto& l : messages.Lines) Put(p[1], "line:", l);
        Put(p[1], "result:", ok ? "1" : "0");
        std::_Exit(0);
    }
    close(p[1]);
    std::string all;
    char buf[4096];
    for (ssize_t n; (n = read(p[0], buf, sizeof buf)) > 0;) all.append(buf, static_cast<std::size_t>(n));
    close(p[0]);
    int status = 0;
    WaitChild(pid, &status);
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t end = all.find('\n', start);
        const std::string line = all.substr(start, end - start);
        start = end == std::string::npos ? all.size() : end + 1;
        if (line.rfind("skip:", 0) == 0) run.Skipped = line.substr(5);
        if (line.rfind("box:", 0) == 0) run.Boxes.push_back(line.substr(4));
        if (line.rfind("line:", 0) == 0) run.Lines.push_back(line.substr(5));
        if (line.rfind("result:", 0) == 0) {
            run.Ok = line.substr(7) == "1";
            run.Finished = true;
        }
    }
    if (!(WIFEXITED(status) && WEXITSTATUS(status) == 0)) run.Finished = false;
    return run;
}

}  // namespace detail

// op on a full disk: no file may grow past limit bytes.
inline TChildRun OnFullDisk(long long limit, const std::function<bool()>& op) {
    return detail::RunChild(
        [limit] {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit r{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
            return setrlimit(RLIMIT_FSIZE, &r) == 0 ? std::string() : std::string("setrlimit failed");
        },
        op);
}

// op with the folder read-only.
inline TChildRun InReadOnlyFolder(const std::string& dir, const std::function<bool()>& op) {
    if (geteuid() != 0) {
        // Permissions hold for everyone but root.
        chmod(dir.c_str(), 0555);
        TChildRun run = detail::RunChild([] { return std::string(); }, op);
        chmod(dir.c_str(), 0755);
        return run;
    }
    return detail::RunChild(
        [dir] {
            if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
                return std::string(
                    "running as root, where folder permissions do not stop writes, and no read-only bind mount can be "
                    "made here (needs CAP_SYS_ADMIN)");
            return std::string();
        },
        op);
}

// Size of the file; -1 when missing.
inline long long FileSize(const std::string& path) {
    std::error_code ec;
    const auto n = fs::file_size(path, ec);
    return ec ? -1 : static_cast<long long>(n);
}

inline std::string Bytes(const std::string& path) {
    std::string b;
    ReadFileBytes(path, b);
    return b;
}

// Names of the entries in the folder.
inline std::vector<std::string> Entries(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace stresstest
