#include "control/monitor_start.h"

#include <cstdlib>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "control/own_files.h"
#include "control/pid_file.h"
#include "control/start_line.h"
#include "monitor/monitor_loop.h"
#include "notify/curl_send.h"
#include "output/banner.h"
#include "output/console.h"
#include "output/event_log.h"
#include "output/refused_file.h"
#include "platform/files.h"
#include "platform/service.h"
#include "platform/termination.h"
#include "platform/transient_files.h"
#include "sampling/cpu_usage.h"

PidFileTake take_pid_file(plat::FileLockResult run_lock) {
    const std::uint64_t pid = recorded_pid();
    if (pid != 0) {
        if (run_lock != plat::FileLockResult::held && monitor_presence(pid) != MonitorPresence::stale) {
            return PidFileTake::already_running;
        }
        (void)plat::delete_file(kPidFileName);
    }
    return write_pid_file() ? PidFileTake::taken : PidFileTake::unwritable;
}

namespace {

void remove_pid_file_at_exit() { remove_pid_file(); }

[[noreturn]] void stop_now(int request) {
    if (plat::is_service_request(request)) {
        log_event("loadhawk stopped (service stop)\n");
    } else {
        log_event("loadhawk stopped (%s %d)\n", plat::termination_request_kind(), request);
    }
    plat::remove_transient_files();
    // the at-exit action removes the pid file
    std::exit(0);
}

// Held from the start of the run to its end, so that "-status", "-stop"
// and "-start" know a monitor works in this directory.
plat::FileLock g_run_lock{-1};

void refuse_without_run_lock() {
    console_out("Unable to take run lock %s\n", kRunLockFile);
    say_unwritable_file(kRunLockFile);
    FixedText<2 * plat::kTransientPathCap> advice;
    plat::write_access_advice(kRunLockFile, advice.out());
    log_event("loadhawk not started: run lock %s cannot be taken: %s\n", kRunLockFile, advice.c_str());
}

}  // namespace

void stop_on_termination_request() { plat::handle_termination_requests(stop_now); }

int start_monitoring(int start_day) {
    // both failure messages reach the console also in silent mode: a
    // background copy has nobody else to tell
    const plat::FileLockResult locked = plat::file_lock_acquire(kRunLockFile, 0, &g_run_lock);
    if (locked == plat::FileLockResult::busy) {
        console_out("loadhawk already running\n");
        return 1;
    }
    if (locked == plat::FileLockResult::unavailable) {
        // without the lock "-status", "-stop" and "-start" cannot see this
        // monitor, and another one may run here unseen
        refuse_without_run_lock();
        return 1;
    }
    switch (take_pid_file(locked)) {
        case PidFileTake::already_running:
            console_out("loadhawk already running\n");
            return 1;
        case PidFileTake::unwritable:
            console_out("Unable to write pid file %s\n", kPidFileName);
            plat::file_lock_release(&g_run_lock);
            return 1;
        case PidFileTake::taken:
            break;
    }
    // from here on every ordinary exit and every termination request removes
    // the pid file; a forced termination (kill -9, TerminateProcess) does
    // not, which is why "-stop" deletes it itself
    std::atexit(remove_pid_file_at_exit);
    stop_on_termination_request();

    if (console_notes_shown()) print_banner();
    // the settings records live as long as the run
    MonitorSettings monitor_settings{};
    if (!load_monitor_settings(&monitor_settings)) return 1;
    if (const char* reason = metrics_file_problem(monitor_settings.metricsfile.c_str())) {
        console_err("metricsfile %s %s: no metrics file is written\n", monitor_settings.metricsfile.c_str(), reason);
        log_event("metricsfile %s %s: no metrics file is written\n", monitor_settings.metricsfile.c_str(), reason);
        monitor_settings.metricsfile.clear();
    }
    // a message or curl configuration file that a crashed run left behind
    remove_leftover_send_files();
    // without notification settings the monitor still runs; it only sends nothing
    NotifySettings notify_settings{};
    (void)load_notify_settings(&notify_settings);
    console_note("\n");
    FixedText<kMetricsFileCap + 256> start_line;
    format_start_line(monitor_settings, notify_settings, plat::own_pid(), start_line.out());
    log_event("%s", start_line.c_str());

    CpuReading previous{};
    if (!read_cpu(&previous)) {
        console_err("Cannot initialize CPU monitor\n");
        return 1;
    }
    cycle_forever(monitor_settings, notify_settings, &previous, start_day);
}
