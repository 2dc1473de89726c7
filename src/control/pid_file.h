// The pid file "loadhawk.pid": the pid of the monitor that runs in this
// working directory, one unsigned decimal number and a line feed.
#pragma once

#include <cstdint>

constexpr const char* kPidFileName = "loadhawk.pid";

// The first number of `text` as "%lu" reads it: blanks and line ends
// skipped, an optional sign, then digits. 0 when there is no number (the
// same as "no monitor"); a number beyond 64 bits or a negative one is
// UINT64_MAX, a pid that names no process.
std::uint64_t parse_pid_text(const char* text);

// The pid recorded in the pid file; 0 when the file does not open, holds
// no number or holds 0.
std::uint64_t recorded_pid();

// True when `pid` names a live loadhawk other than this very process (a
// stale pid reused by this process, or by another program, is no monitor).
bool monitor_is_live(std::uint64_t pid);

// Writes this process's pid as "%lu\n" (text mode). False when the file
// cannot be written completely; a partial file is removed.
bool write_pid_file();

// Deletes the pid file; the at-exit action of the monitor run.
void remove_pid_file();
