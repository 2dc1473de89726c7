// Termination requests on Linux: SIGTERM, SIGINT and SIGHUP. The handler
// only does what is safe in a signal handler: it records the signal and
// kills the running command's process group; the program's own thread does
// the rest at its next wait.
#include <signal.h>
#include <unistd.h>

#include "platform/backend.h"
#include "platform/linux/termination.h"
#include "platform/termination.h"

namespace plat {

namespace {

// The process group of the running notification command, 0 when none runs.
volatile sig_atomic_t g_command_group = 0;

constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

void on_stop_signal(int sig) {
    termination_record(sig);
    const pid_t group = static_cast<pid_t>(g_command_group);
    if (group > 0) (void)kill(-group, SIGKILL);
}

}  // namespace

const char* termination_request_kind() { return "signal"; }

void handle_termination_requests(StopAction stop) {
    termination_set_action(stop);
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    for (const int sig : kStopSignals) sigaddset(&action.sa_mask, sig);
    // no SA_RESTART: a blocking wait returns, and the thread notices
    action.sa_flags = 0;
    for (const int sig : kStopSignals) (void)sigaction(sig, &action, nullptr);
}

StopSignalsBlocked::StopSignalsBlocked() {
    sigset_t stop;
    sigemptyset(&stop);
    for (const int sig : kStopSignals) sigaddset(&stop, sig);
    (void)sigprocmask(SIG_BLOCK, &stop, &previous_);
}

StopSignalsBlocked::~StopSignalsBlocked() { (void)sigprocmask(SIG_SETMASK, &previous_, nullptr); }

void termination_track_group(int group) { g_command_group = group; }

}  // namespace plat
