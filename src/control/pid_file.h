// The pid file "loadhawk.pid": the pid of the monitor that runs in this
// working directory, one unsigned decimal number and a line feed; and the
// run lock "loadhawk_run.lock", which that monitor holds for its whole life.
#pragma once

#include <cstdint>

#include "platform/locks.h"
#include "platform/process.h"

constexpr const char* kPidFileName = "loadhawk.pid";
constexpr const char* kRunLockFile = "loadhawk_run.lock";

// The first number of `text` as "%lu" reads it: blanks and line ends
// skipped, an optional sign, then digits. 0 when there is no number (the
// same as "no monitor"); a number beyond 64 bits or a negative one is
// UINT64_MAX, a pid that names no process.
std::uint64_t parse_pid_text(const char* text);

// The pid recorded in the pid file; 0 when the file does not open, holds
// no number or holds 0. A pid file that is not a regular file (or a link
// of another user) is reported and counts as none.
std::uint64_t recorded_pid();

// What a recorded pid names.
enum class MonitorPresence {
    stale,    // no monitor of this directory: an ended process, another
              // program, another directory's monitor, or this very process
    running,  // the monitor of this directory
    foreign,  // alive, but the system does not let us look at it (another
              // account's): counted as running, not ours to stop
};

// How a recorded pid is judged: the process as the system shows it, and
// whether some process holds the run lock of this directory; how it is
// ended, and the pause between looks while it ends.
struct MonitorProbe {
    plat::ProcessCheck (*check)(std::uint32_t pid);
    plat::LockProbe (*run_lock)(const char* path);
    bool (*terminate)(std::uint32_t pid);
    void (*pause)(std::uint32_t ms);
};
extern const MonitorProbe kSystemProbe;

// A monitor of this directory runs this program file in this directory
// (where the system shows it) while the run lock is held (or cannot be
// tested).
MonitorPresence monitor_presence(std::uint64_t pid, const MonitorProbe& probe = kSystemProbe);

// Writes this process's pid as "%lu\n" (text mode). False when the file
// cannot be written completely; a partial file is removed.
bool write_pid_file();

// Deletes the pid file when it names this process; the at-exit action of
// the monitor run.
void remove_pid_file();
