#include "control/monitor_start.h"

#include <cstdlib>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "control/pid_file.h"
#include "monitor/monitor_loop.h"
#include "notify/send_files.h"
#include "output/banner.h"
#include "output/console.h"
#include "platform/platform.h"
#include "sampling/cpu_usage.h"

PidFileTake take_pid_file() {
    const std::uint64_t pid = recorded_pid();
    if (pid != 0) {
        if (monitor_is_live(pid)) return PidFileTake::already_running;
        (void)plat::delete_file(kPidFileName);
    }
    return write_pid_file() ? PidFileTake::taken : PidFileTake::unwritable;
}

namespace {

void remove_pid_file_at_exit() { remove_pid_file(); }

}  // namespace

int start_monitoring(int start_day) {
    // both failure messages reach the console also in silent mode: a
    // background copy has nobody else to tell
    switch (take_pid_file()) {
        case PidFileTake::already_running:
            console_out("loadhawk already running\n");
            return 1;
        case PidFileTake::unwritable:
            console_out("Unable to write pid file %s\n", kPidFileName);
            return 1;
        case PidFileTake::taken:
            break;
    }
    // from here on every ordinary exit removes the pid file; a termination
    // from outside does not, which is why "-stop" deletes it itself
    std::atexit(remove_pid_file_at_exit);

    if (console_notes_shown()) print_banner();
    // the settings records live as long as the run
    MonitorSettings monitor_settings{};
    if (!load_monitor_settings(&monitor_settings)) return 1;
    // a message or curl configuration file that a crashed run left behind
    remove_leftover_send_files();
    // without notification settings the monitor still runs; it only sends nothing
    NotifySettings notify_settings{};
    (void)load_notify_settings(&notify_settings);
    console_note("\n");

    CpuReading previous{};
    if (!read_cpu(&previous)) {
        console_err("Cannot initialize CPU monitor\n");
        return 1;
    }
    cycle_forever(monitor_settings, notify_settings, &previous, start_day);
}
