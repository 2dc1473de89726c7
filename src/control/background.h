// The commands that manage a monitor running in the background through the
// pid file: "-start", "-status" and "-stop". Each returns the exit code.
#pragma once

// Starts a hidden, detached copy of this program with "-s" in the current
// working directory. It does not look at the pid file: the copy runs the
// single-instance guard itself and ends at once beside a running monitor.
int run_background_start();

// Reports whether the monitor named in the pid file runs; always 0.
int run_background_status();

// Terminates the monitor named in the pid file and deletes the file. 1 only
// when a live monitor cannot be terminated (another user's, for example).
int run_background_stop();
