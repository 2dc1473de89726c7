#include "control/monitor_run.h"

#include "control/pid_file.h"
#include "platform/platform.h"

PidFileTake take_pid_file() {
    const std::uint64_t pid = recorded_pid();
    if (pid != 0) {
        if (monitor_is_live(pid)) return PidFileTake::already_running;
        (void)plat::delete_file(kPidFileName);
    }
    return write_pid_file() ? PidFileTake::taken : PidFileTake::unwritable;
}
