#include "support/liveness_child.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

Child::Child(Kind kind) {
    // closed on exec: end-of-file tells the parent that exec has replaced the name
    int exec_done[2] = {-1, -1};
    if (pipe2(exec_done, O_CLOEXEC) != 0) exec_done[0] = exec_done[1] = -1;
    pid_ = fork();
    if (pid_ == 0) {
        if (kind == Kind::sleep) {
            execlp("sleep", "sleep", "60", static_cast<char*>(nullptr));
            _exit(127);
        }
        if (kind == Kind::zombie) _exit(0);
        for (;;) pause();
    }
    if (exec_done[1] >= 0) close(exec_done[1]);
    if (kind == Kind::sleep && exec_done[0] >= 0) {
        char byte;
        while (read(exec_done[0], &byte, 1) > 0) {
        }
    }
    if (exec_done[0] >= 0) close(exec_done[0]);
    if (kind == Kind::zombie && pid_ > 0) {
        // wait until it has ended, without reaping it
        siginfo_t info{};
        waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOWAIT);
    }
}

void Child::end() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

bool Child::reap() {
    if (pid_ <= 0) return true;
    if (waitpid(pid_, nullptr, WNOHANG) != pid_) return false;
    pid_ = -1;
    return true;
}
