// Running a notification command on Linux: "/bin/sh -c" with the command as
// one argument, in a process group of its own, standard streams on
// /dev/null and no other descriptor inherited.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/backend.h"
#include "platform/command.h"
#include "platform/linux/termination.h"
#include "platform/time.h"

extern char** environ;

namespace plat {

Interpreter interpreter() { return Interpreter::posix_sh; }

const char* interpreter_prefix() { return "/bin/sh -c "; }

const char* null_device() { return "/dev/null"; }

namespace {

std::uint64_t monotonic_ms() {
    struct timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec / 1000000L);
}

// The spawn description: streams, descriptors, process group, signals.
class SpawnSetup {
public:
    SpawnSetup() {
        ok_ = posix_spawn_file_actions_init(&actions_) == 0;
        if (!ok_) return;
        attr_ok_ = posix_spawnattr_init(&attr_) == 0;
        ok_ = attr_ok_ &&
              posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0 &&
              posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0) == 0 &&
              posix_spawn_file_actions_adddup2(&actions_, 1, 2) == 0;
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
        // nothing but the three streams reaches the command (our descriptors
        // are close-on-exec as well; this also covers a library's that are not)
        ok_ = ok_ && posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0;
#endif
        if (!ok_) return;
        // a group of its own, so that an overrun can end everything the command started
        sigset_t no_signals;
        sigemptyset(&no_signals);
        sigset_t defaults;
        sigemptyset(&defaults);
        static constexpr int kDefaulted[] = {SIGPIPE, SIGINT,  SIGQUIT, SIGTERM,
                                             SIGHUP,  SIGCHLD, SIGALRM, SIGUSR1,
                                             SIGUSR2, SIGTSTP, SIGTTIN, SIGTTOU};
        for (const int sig : kDefaulted) {
            sigaddset(&defaults, sig);
        }
        ok_ = posix_spawnattr_setpgroup(&attr_, 0) == 0 &&
              posix_spawnattr_setsigmask(&attr_, &no_signals) == 0 &&
              posix_spawnattr_setsigdefault(&attr_, &defaults) == 0 &&
              posix_spawnattr_setflags(&attr_, static_cast<short>(POSIX_SPAWN_SETPGROUP |
                                                                  POSIX_SPAWN_SETSIGMASK |
                                                                  POSIX_SPAWN_SETSIGDEF)) == 0;
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        if (attr_ok_) posix_spawnattr_destroy(&attr_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool ok() const { return ok_; }
    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attr() const { return &attr_; }

private:
    posix_spawn_file_actions_t actions_{};
    posix_spawnattr_t attr_{};
    bool ok_ = false;
    bool attr_ok_ = false;
};

// The exit code of an ended child; a child ended by a signal gives 128 + signal.
int exit_code_of(const siginfo_t& info) {
    if (info.si_code == CLD_EXITED) return info.si_status;
    return 128 + info.si_status;
}

// Waits, without reaping, until `pid` has ended or `timeout_seconds` have
// passed (0: no limit). Returns its exit code, 124 on overrun, 1 when the
// wait itself fails.
int wait_for_end(pid_t pid, std::uint32_t timeout_seconds) {
    const std::uint64_t deadline = monotonic_ms() + std::uint64_t{timeout_seconds} * 1000u;
    std::uint32_t pause_ms = 1;
    for (;;) {
        siginfo_t info{};
        // WNOWAIT keeps the ended child a zombie: its pid, and so its group
        // id, cannot be reused before the group has been ended
        const int options = WEXITED | WNOWAIT | (timeout_seconds != 0 ? WNOHANG : 0);
        if (waitid(P_PID, static_cast<id_t>(pid), &info, options) != 0) {
            if (errno == EINTR) continue;
            return 1;
        }
        if (info.si_pid == pid) return exit_code_of(info);
        if (monotonic_ms() >= deadline) return kCommandOverrun;
        sleep_ms(pause_ms);
        if (pause_ms < 50) pause_ms *= 2;
    }
}

}  // namespace

bool program_on_path(const char* name) {
    const char* path = std::getenv("PATH");
    if (name == nullptr || name[0] == '\0' || path == nullptr) return false;
    while (*path != '\0') {
        const char* end = std::strchr(path, ':');
        const std::size_t length = end == nullptr ? std::strlen(path) : static_cast<std::size_t>(end - path);
        FixedText<4096> candidate;
        // a relative entry depends on the working directory
        if (length > 0 && path[0] == '/') {
            text_copy_n(candidate.out(), path, length);
            text_append(candidate.out(), "/%s", name);
            if (access(candidate.c_str(), X_OK) == 0) return true;
        }
        path += length;
        if (*path == ':') ++path;
    }
    return false;
}

int run_hidden_command(const char* command, std::uint32_t timeout_seconds) {
    if (command == nullptr || command[0] == '\0') return -1;
    SpawnSetup setup;
    if (!setup.ok()) return -1;
    char name[] = "sh";
    char dash_c[] = "-c";
    char* argv[] = {name, dash_c, const_cast<char*>(command), nullptr};
    // a command never starts once a termination request is pending
    termination_checkpoint();
    pid_t pid = 0;
    {
        // the group is known to the termination handler before it can run
        StopSignalsBlocked blocked;
        if (posix_spawn(&pid, "/bin/sh", setup.actions(), setup.attr(), argv, environ) != 0) return -1;
        termination_track_group(pid);
    }

    const int result = wait_for_end(pid, timeout_seconds);
    // end the whole group: on overrun the command and all it started, after a
    // normal end whatever it left running; then reap the interpreter (until
    // then its pid, and so the group id, cannot be reused)
    (void)kill(-pid, SIGKILL);
    termination_track_group(0);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    termination_checkpoint();
    return result;
}

}  // namespace plat
