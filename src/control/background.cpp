#include "control/background.h"

#include <cstdio>

#include "config/monitor_settings.h"
#include "notify/curl_send.h"
#include "output/console.h"
#include "output/refused_file.h"
#include "platform/files.h"
#include "platform/locks.h"
#include "platform/process.h"
#include "platform/time.h"

namespace {

// A stopped monitor ends its command, removes its files and ends at once;
// one that is terminated (Windows) goes as soon as the system has ended it.
constexpr std::uint32_t kStopWaitMs = 5000;
// A started copy writes its pid file or ends within milliseconds; the wait
// ends as soon as either shows, and allows for a busy system.
constexpr std::uint32_t kStartWaitMs = 5000;
constexpr std::uint32_t kPollMs = 50;

bool runs(MonitorPresence presence) { return presence != MonitorPresence::stale; }

// The copy reads the monitor settings only after it has written its pid
// file, so a missing file is told here, before any copy starts.
bool monitor_settings_readable() {
    plat::FileRefusal why = plat::FileRefusal::none;
    std::FILE* settings = plat::open_kept_file(kMonitorSettingsFile, plat::KeptFileMode::read, &why);
    if (settings == nullptr) return false;
    std::fclose(settings);
    return true;
}

// Whether the terminated monitor ended within the stop wait.
bool ended(const MonitorProbe& probe, std::uint32_t monitor) {
    for (std::uint32_t waited = 0; waited < kStopWaitMs; waited += kPollMs) {
        if (probe.check(monitor) == plat::ProcessCheck::gone) return true;
        probe.pause(kPollMs);
    }
    return probe.check(monitor) == plat::ProcessCheck::gone;
}

// Why a copy that ended at once did not run, where that can be known from
// here: the same checks its start-up makes.
void report_start_failure(const MonitorProbe& probe) {
    console_out("loadhawk start failed\n");
    const std::uint64_t pid = recorded_pid();
    if (pid != 0 && runs(monitor_presence(pid, probe))) {
        console_out("loadhawk already running\n");
        return;
    }
    if (!monitor_settings_readable()) {
        console_out("Error: %s not found\n", kMonitorSettingsFile);
        return;
    }
    if (probe.run_lock(kRunLockFile) == plat::LockProbe::unknown) {
        console_out("Unable to take run lock %s\n", kRunLockFile);
        say_unwritable_file(kRunLockFile);
        return;
    }
    const bool existed = pid != 0;
    plat::FileRefusal why = plat::FileRefusal::none;
    std::FILE* pid_file = plat::open_kept_file(kPidFileName, plat::KeptFileMode::append, &why);
    if (pid_file == nullptr) {
        console_out("Unable to write pid file %s\n", kPidFileName);
        if (why == plat::FileRefusal::failed) say_unwritable_file(kPidFileName);
        return;
    }
    std::fclose(pid_file);
    if (!existed && recorded_pid() == 0) (void)plat::delete_file(kPidFileName);
}

}  // namespace

int run_background_start(const MonitorProbe& probe) {
    const std::uint64_t recorded = recorded_pid();
    if ((recorded != 0 && runs(monitor_presence(recorded, probe))) ||
        probe.run_lock(kRunLockFile) == plat::LockProbe::held) {
        console_out("loadhawk already running\n");
        return 1;
    }
    if (!monitor_settings_readable()) {
        console_out("loadhawk start failed\nError: %s not found\n", kMonitorSettingsFile);
        return 1;
    }
    std::uint32_t copy = 0;
    if (!plat::start_detached_copy(&copy)) {
        console_out("start failed\n");
        return 1;
    }
    for (std::uint32_t waited = 0; waited < kStartWaitMs; waited += kPollMs) {
        if (recorded_pid() == copy) break;
        if (probe.check(copy) == plat::ProcessCheck::gone) {
            report_start_failure(probe);
            return 1;
        }
        plat::sleep_ms(kPollMs);
    }
    // written its pid file, or still starting
    console_out("loadhawk start requested\n");
    return 0;
}

int run_background_status(const MonitorProbe& probe) {
    // the exit codes of an init script's "status": 0 running, 1 not
    // running but a pid file is left, 3 not running
    const std::uint64_t pid = recorded_pid();
    if (pid == 0) {
        console_out("loadhawk not running\n");
        return 3;
    }
    if (runs(monitor_presence(pid, probe))) {
        console_out("loadhawk running pid %lu\n", static_cast<unsigned long>(pid));
        return 0;
    }
    // the stale file stays; "-stop" or the next monitor run removes it
    console_out("loadhawk pid file exists but process dead\n");
    return 1;
}

int run_background_stop(const MonitorProbe& probe) {
    const std::uint64_t pid = recorded_pid();
    if (pid == 0) {
        console_out("loadhawk not running\n");
        return 0;
    }
    const MonitorPresence presence = monitor_presence(pid, probe);
    // a pid that now names another program, or another directory's
    // monitor, is stale: that process is never touched
    if (presence == MonitorPresence::stale) {
        console_out("loadhawk pid file exists but process not alive\n");
        (void)plat::delete_file(kPidFileName);
        return 0;
    }
    const auto monitor = static_cast<std::uint32_t>(pid);
    // a monitor that is still there (a refused or pending termination) keeps
    // its pid file and its files: it is not called stopped
    if (presence == MonitorPresence::foreign || !probe.terminate(monitor) || !ended(probe, monitor)) {
        console_out("Unable to stop loadhawk pid %lu\n", static_cast<unsigned long>(pid));
        return 1;
    }
    // a monitor that could not clean up after itself leaves its pid file
    if (recorded_pid() == pid) (void)plat::delete_file(kPidFileName);
    // what a monitor terminated without its own clean-up (Windows) left:
    // the message and curl configuration files (the curl configuration
    // holds the mail password), once the send it was making has let go of
    // the mail lock; not while another copy sends from here
    remove_leftover_send_files(kStopWaitMs);
    console_out("loadhawk stopped\n");
    return 0;
}
