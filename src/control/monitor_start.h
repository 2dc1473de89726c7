// The monitor run: what the program does when no command is given.
#pragma once

#include <cstdint>

#include "platform/locks.h"

enum class PidFileTake { taken, already_running, unwritable };

// The single-instance guard and the pid file. With the run lock held
// (`run_lock` is `held`) no other monitor works here and any recorded pid
// is stale; without it (a lock file that cannot be made) a recorded pid
// that names a monitor of this directory leaves the file alone:
// already_running. A stale pid file is deleted; one holding 0 or no number
// is overwritten. Then this process's pid is written: taken, or unwritable.
PidFileTake take_pid_file(plat::FileLockResult run_lock);

// The monitor run: the run lock and the pid-file guard, the pid file
// (removed at every ordinary exit and on a termination request), the
// banner unless silent, both settings files, the first CPU reading, then
// the endless cycle. Returns only the exit code 1 of a start that failed.
// `start_day` is the day of the month of the start time.
int start_monitoring(int start_day);

// From now on a termination request (SIGTERM, SIGINT, SIGHUP; Windows: the
// console's control events) ends the running command, removes the files
// the program made for the moment and the pid file, logs
// "loadhawk stopped (signal N)" and ends the process with 0.
void stop_on_termination_request();
