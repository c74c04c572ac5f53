// Signalling and reaping the test's own child processes. fork() gives -1
// when it fails, and kill() with -1 signals every process the caller may
// signal (run as root: the whole machine), with 0 the caller's own group;
// waitpid() with -1 waits for any child. Only a pid that names a child
// is ever signalled or waited for.
#pragma once
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>

inline bool SignalChild(pid_t pid, int sig) { return pid > 0 && ::kill(pid, sig) == 0; }

// waitpid for that child only: -1 for no child.
inline pid_t WaitChild(pid_t pid, int* status, int options = 0) {
    return pid > 0 ? ::waitpid(pid, status, options) : -1;
}
