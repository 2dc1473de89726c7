// This program's own identity, other processes' liveness, termination and
// the detached background copy, on POSIX.
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/proc_read.h"

namespace plat {

namespace {

// The comm of a process ("self" or a pid) without its line feed.
bool read_comm(const char* process, char* comm, std::size_t cap) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/comm", process);
    const std::size_t got = read_proc_file(AT_FDCWD, path, comm, cap);
    if (got == 0) return false;
    if (comm[got - 1] == '\n') comm[got - 1] = '\0';
    return comm[0] != '\0';
}

// A process that has ended but not been reaped yet ("Z") or is being
// removed ("X") runs no more. The state follows the last ')' of the stat
// line, since the name in parentheses may itself hold them.
bool has_ended(const char* pid_text) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%s/stat", pid_text);
    char stat[512];
    if (read_proc_file(AT_FDCWD, path, stat, sizeof stat) == 0) return true;
    const char* close_paren = std::strrchr(stat, ')');
    if (close_paren == nullptr || close_paren[1] != ' ') return true;
    const char state = close_paren[2];
    return state == 'Z' || state == 'X' || state == '\0';
}

// pid_t is signed: a recorded number beyond its range must never reach
// kill(), where -1 would mean every process.
bool fits_pid_t(std::uint32_t pid) { return pid > 0 && pid <= static_cast<std::uint32_t>(INT_MAX); }

}  // namespace

std::uint32_t own_pid() { return static_cast<std::uint32_t>(getpid()); }

bool own_path(TextBuffer out) {
    text_copy(out, "");
    char path[4096];
    const ssize_t got = readlink("/proc/self/exe", path, sizeof path - 1);
    if (got <= 0) return false;
    path[got] = '\0';
    text_copy(out, path);
    return true;
}

bool is_live_loadhawk(std::uint32_t pid) {
    if (!fits_pid_t(pid)) return false;
    // another user's process answers EPERM: it exists
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
    char pid_text[16];
    std::snprintf(pid_text, sizeof pid_text, "%u", pid);
    if (has_ended(pid_text)) return false;
    char theirs[64];
    char ours[64];
    if (!read_comm(pid_text, theirs, sizeof theirs) || !read_comm("self", ours, sizeof ours)) return false;
    return std::strcmp(theirs, ours) == 0;
}

bool terminate_process(std::uint32_t pid) {
    if (!fits_pid_t(pid)) return false;
    return kill(static_cast<pid_t>(pid), SIGTERM) == 0;
}

bool start_detached_copy() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return false;
    path[length] = '\0';

    // the child reports a failed exec through this pipe; a successful exec
    // closes it (close-on-exec) and the parent reads end-of-file
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        close(report[0]);
        // a session of its own: no controlling terminal, so the end of the
        // starting shell (its hang-up) does not reach the copy
        int failure = 0;
        if (setsid() < 0) failure = errno;
        const int null_fd = open("/dev/null", O_RDWR);
        if (failure == 0 && null_fd < 0) failure = errno;
        if (failure == 0) {
            for (int fd = 0; fd <= 2; ++fd) {
                if (dup2(null_fd, fd) < 0) failure = errno;
            }
            if (null_fd > 2) close(null_fd);
            // nothing else of the starter's stays open in a process that runs for
            // months (a pipe held open would keep a reader of the starter waiting)
            const long open_max = sysconf(_SC_OPEN_MAX);
            const int last = open_max > 0 && open_max < 65536 ? static_cast<int>(open_max) : 65536;
            for (int fd = 3; fd < last; ++fd) {
                if (fd != report[1]) close(fd);
            }
        }
        if (failure == 0) {
            // a starter that ignored or blocked signals must not pass that on:
            // "-stop" ends the copy with SIGTERM
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            signal(SIGTERM, SIG_DFL);
            signal(SIGINT, SIG_DFL);
            signal(SIGHUP, SIG_DFL);
            char silent[] = "-s";
            char* const argv[] = {path, silent, nullptr};
            execv(path, argv);
            failure = errno;
        }
        ssize_t ignored = write(report[1], &failure, sizeof failure);
        (void)ignored;
        _exit(127);
    }
    close(report[1]);
    int failure = 0;
    ssize_t got;
    do {
        got = read(report[0], &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got != 0) {
        // the child ended without becoming the copy: reap it
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        return false;
    }
    // the copy runs on as an orphan; the system reaps it when it ends
    return true;
}

}  // namespace plat
