#include "control/background.h"

#include "control/pid_file.h"
#include "output/console.h"
#include "platform/platform.h"

namespace {

// After termination the process needs a moment to go; no longer than this.
constexpr std::uint32_t kStopWaitMs = 500;
constexpr std::uint32_t kStopPollMs = 50;

}  // namespace

int run_background_start() {
    if (!plat::start_detached_copy()) {
        console_out("start failed\n");
        return 1;
    }
    console_out("loadhawk start requested\n");
    return 0;
}

int run_background_status() {
    const std::uint64_t pid = recorded_pid();
    if (pid == 0) {
        console_out("loadhawk not running\n");
    } else if (monitor_is_live(pid)) {
        console_out("loadhawk running pid %lu\n", static_cast<unsigned long>(pid));
    } else {
        // the stale file stays; "-stop" or the next monitor run removes it
        console_out("loadhawk pid file exists but process dead\n");
    }
    return 0;
}

int run_background_stop() {
    const std::uint64_t pid = recorded_pid();
    if (pid == 0) {
        console_out("loadhawk not running\n");
        return 0;
    }
    // a pid that now names another program is stale: that program is never touched
    if (!monitor_is_live(pid)) {
        console_out("loadhawk pid file exists but process not alive\n");
        (void)plat::delete_file(kPidFileName);
        return 0;
    }
    const auto monitor = static_cast<std::uint32_t>(pid);
    if (!plat::terminate_process(monitor)) {
        console_out("Unable to stop loadhawk pid %lu\n", static_cast<unsigned long>(pid));
        return 1;
    }
    for (std::uint32_t waited = 0; waited < kStopWaitMs && plat::is_live_loadhawk(monitor);
         waited += kStopPollMs) {
        plat::sleep_ms(kStopPollMs);
    }
    // a terminated monitor runs no at-exit action: its pid file is removed here
    (void)plat::delete_file(kPidFileName);
    console_out("loadhawk stopped\n");
    return 0;
}
