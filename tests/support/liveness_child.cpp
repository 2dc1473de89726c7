#include "support/liveness_child.h"

#include <signal.h>
#include <sys/wait.h>

#include <fstream>
#include <string>

namespace {

std::string own_comm() {
    std::ifstream in("/proc/self/comm");
    std::string comm;
    std::getline(in, comm);
    return comm;
}

}  // namespace

bool start_twin(ChildProcess* child) {
    // the child names itself before it reports ready
    return child->fork_named(own_comm().c_str(), ChildProcess::Work::idle) && child->wait_ready(10000);
}

bool start_sleeper(ChildProcess* child) {
    // posix_spawn returns once the program has replaced the child
    return child->start({"/bin/sleep", "60"});
}

void make_zombie(const ChildProcess& child) {
    kill(child.pid(), SIGKILL);
    siginfo_t info{};
    waitid(P_PID, static_cast<id_t>(child.pid()), &info, WEXITED | WNOWAIT);
}

bool has_ended(pid_t pid) {
    siginfo_t info{};
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) return false;
    return info.si_pid == pid;
}
