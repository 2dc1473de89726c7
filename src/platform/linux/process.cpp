// This program's own identity, other processes' liveness, termination and
// the detached background copy, on Linux.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/linux/proc_read.h"
#include "platform/process.h"

namespace plat {

namespace {

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

namespace {

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// The program file of a process that runs a binary since replaced (an
// upgrade) reads "PATH (deleted)": it is ours when PATH is our own path.
bool replaced_copy_of_ours(const char* exe_link) {
    char theirs[4096];
    const ssize_t got = readlink(exe_link, theirs, sizeof theirs - 1);
    if (got <= 0) return false;
    theirs[got] = '\0';
    static constexpr char kDeleted[] = " (deleted)";
    const std::size_t length = static_cast<std::size_t>(got);
    const std::size_t mark = sizeof kDeleted - 1;
    if (length <= mark || std::strcmp(theirs + length - mark, kDeleted) != 0) return false;
    theirs[length - mark] = '\0';
    char ours[4096];
    const ssize_t own = readlink("/proc/self/exe", ours, sizeof ours - 1);
    if (own <= 0) return false;
    ours[own] = '\0';
    return std::strcmp(theirs, ours) == 0;
}

}  // namespace

ProcessCheck check_process(std::uint32_t pid) {
    if (!fits_pid_t(pid)) return ProcessCheck::gone;
    // another user's process answers EPERM: it exists
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return ProcessCheck::gone;
    char pid_text[16];
    std::snprintf(pid_text, sizeof pid_text, "%u", pid);
    if (has_ended(pid_text)) return ProcessCheck::gone;
    // the program file by identity (device and inode), whatever its name
    char exe[64];
    std::snprintf(exe, sizeof exe, "/proc/%s/exe", pid_text);
    struct stat theirs {};
    if (stat(exe, &theirs) != 0) {
        // the links of another user's process are closed to us; a kernel
        // thread has none
        if (errno == EACCES || errno == EPERM) return ProcessCheck::denied;
        return has_ended(pid_text) ? ProcessCheck::gone : ProcessCheck::other_program;
    }
    struct stat ours {};
    if (stat("/proc/self/exe", &ours) != 0) return ProcessCheck::denied;
    if (!same_file(theirs, ours) && !replaced_copy_of_ours(exe)) return ProcessCheck::other_program;
    // and the working directory: a monitor of another directory is not ours
    char cwd[64];
    std::snprintf(cwd, sizeof cwd, "/proc/%s/cwd", pid_text);
    struct stat their_dir {};
    struct stat our_dir {};
    if (stat(cwd, &their_dir) != 0) return errno == ENOENT ? ProcessCheck::gone : ProcessCheck::denied;
    if (stat(".", &our_dir) != 0) return ProcessCheck::denied;
    return same_file(their_dir, our_dir) ? ProcessCheck::same_program : ProcessCheck::elsewhere;
}

bool terminate_process(std::uint32_t pid) {
    if (!fits_pid_t(pid)) return false;
    return kill(static_cast<pid_t>(pid), SIGTERM) == 0;
}

bool start_detached_copy(std::uint32_t* pid) {
    *pid = 0;
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
    // the copy runs on; once this process ends, the system reaps it
    *pid = static_cast<std::uint32_t>(child);
    return true;
}

}  // namespace plat
