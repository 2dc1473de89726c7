// The commands that manage a monitor running in the background through the
// pid file: "-start", "-status" and "-stop". Each returns the exit code.
#pragma once

#include "control/pid_file.h"

// Starts a hidden, detached copy of this program with "-s" in the current
// working directory, unless a monitor already runs there, and waits up to
// about a second for the copy's pid file: a copy that ends instead is
// reported as a failed start, with the reason where it can be known.
int run_background_start(const MonitorProbe& probe = kSystemProbe);

// Reports whether the monitor named in the pid file runs; always 0.
int run_background_status(const MonitorProbe& probe = kSystemProbe);

// Stops the monitor named in the pid file and deletes the file. 1 only
// when a live monitor cannot be stopped (another user's, for example).
int run_background_stop(const MonitorProbe& probe = kSystemProbe);
