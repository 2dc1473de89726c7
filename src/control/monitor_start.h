// The monitor run: what the program does when no command is given.
#pragma once

#include <cstdint>

enum class PidFileTake { taken, already_running, unwritable };

// The single-instance guard and the pid file. A recorded pid that names a
// live loadhawk (not this process) leaves the file alone: already_running.
// A stale pid file is deleted; one holding 0 or no number is overwritten.
// Then this process's pid is written: taken, or unwritable.
PidFileTake take_pid_file();

// The monitor run: the pid-file guard, the pid file (removed at every
// ordinary exit), the banner unless silent, both settings files, the first
// CPU reading, then the endless cycle. Returns only the exit code 1 of a
// start that failed. `start_day` is the day of the month of the start time.
int start_monitoring(int start_day);
