// A child process started by a test and ended by pid when its owner goes,
// also when the test fails half-way.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Runs the program at argv[0] (a full path) with its standard output on
    // a pipe that wait_ready reads.
    bool start(const std::vector<std::string>& argv);
    // Forks a copy of this test process that names itself `name` (its comm,
    // at most 15 characters), reports ready and then sleeps or spins on one
    // core until it is killed. It also dies with the test process.
    enum class Work { idle, busy };
    bool fork_named(const char* name, Work work);
    // Waits up to timeout_ms for the child's first byte of output.
    bool wait_ready(int timeout_ms);
    pid_t pid() const { return pid_; }
    // Kills the child (SIGKILL) and reaps it; nothing when it is gone already.
    void stop();

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

// Seconds of CPU the process has used, from /proc/PID/stat (0 if unreadable).
double process_cpu_seconds(pid_t pid);
