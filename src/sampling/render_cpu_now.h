// The "Using CPU now" block of the notices: the processes with the largest
// share of all CPUs since the previous cycle, with their user and, where
// the system gives it, their command line.
#pragma once

#include <cstdint>

#include "sampling/sample.h"
#include "text/fixed_text.h"

// Where the block reads the owner and command line of the five processes
// it shows (plat::process_user, plat::process_command_line), or a test's
// stand-in.
struct ProcessDetails {
    bool (*user)(std::uint32_t pid, TextBuffer out);
    bool (*command_line)(std::uint32_t pid, TextBuffer out);
};
extern const ProcessDetails kSystemProcessDetails;

// Bytes of a name and a command line shown in a row.
constexpr std::size_t kCpuNowNameShown = 64;
constexpr std::size_t kCpuNowCommandShown = 120;

// Renders the block of `sample`'s cpu_now rows into `text`:
//   "Using CPU now (share of all 4 CPUs since the previous cycle):\n"
//   "NOW1- PID: 4242 CPU: 87.3% USER: alice COMMAND: cc1plus CMDLINE: cc1plus -O2 x.c\n"
// (USER "?" when it cannot be read; no CMDLINE when there is none), or
// "Using CPU now: no share yet (first cycle since start)\n" when the cycle
// has no shares, or "... no process used CPU since the previous cycle\n".
// Names and command lines are cut on a character boundary and made
// printable UTF-8.
void render_cpu_now(const Sample& sample, TextBuffer text,
                    const ProcessDetails& details = kSystemProcessDetails);
