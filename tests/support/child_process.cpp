#include "support/child_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

extern char** environ;

ChildProcess::~ChildProcess() { stop(); }

bool ChildProcess::start(const std::vector<std::string>& argv) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t child = -1;
    const int rc = posix_spawn(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return false;
    }
    pid_ = child;
    output_ = fds[0];
    return true;
}

namespace {

[[noreturn]] void run_child(int ready_fd, const char* name, ChildProcess::Work work) {
    // no orphan keeps spinning when the test process dies
    prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);
    prctl(PR_SET_NAME, name, 0, 0, 0);
    const char byte = 'r';
    (void)!write(ready_fd, &byte, 1);
    volatile unsigned long spins = 0;
    for (;;) {
        if (work == ChildProcess::Work::busy) {
            spins = spins + 1;
        } else {
            pause();
        }
    }
}

}  // namespace

bool ChildProcess::fork_named(const char* name, Work work) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return false;
    }
    if (child == 0) {
        close(fds[0]);
        run_child(fds[1], name, work);
    }
    close(fds[1]);
    pid_ = child;
    output_ = fds[0];
    return true;
}

bool ChildProcess::wait_ready(int timeout_ms) {
    if (output_ < 0) return false;
    pollfd ready{output_, POLLIN, 0};
    if (poll(&ready, 1, timeout_ms) != 1) return false;
    char byte = 0;
    return read(output_, &byte, 1) == 1;
}

void ChildProcess::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (output_ >= 0) {
        close(output_);
        output_ = -1;
    }
}

double process_cpu_seconds(pid_t pid) {
    // read with stdio: a process that ends between open and read fails the
    // read with ESRCH, which an ifstream would turn into an exception
    std::string text;
    if (std::FILE* in = std::fopen(("/proc/" + std::to_string(pid) + "/stat").c_str(), "r")) {
        char buffer[1024];
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, in);
        std::fclose(in);
        text.assign(buffer, got);
    }
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) return 0.0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0;
    unsigned long long stime = 0;
    // fields from (3) state on; (14) utime and (15) stime
    for (int index = 3; index <= 15 && (fields >> field); ++index) {
        if (index == 14) utime = std::stoull(field);
        if (index == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}
