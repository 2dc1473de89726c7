// This program's processes: its own pid, another pid's identity, ending one,
// starting a detached copy.
#pragma once

#include <cstdint>

namespace plat {

std::uint32_t own_pid();

// What a pid names, as far as this process may see it.
enum class ProcessCheck {
    gone,           // no such process, or one that has ended
    other_program,  // runs another program file (a pid reused since)
    elsewhere,      // runs this program file, in another working directory
    same_program,   // runs this program file (POSIX: in our working directory)
    denied,         // alive, but the system does not let us look at it
};
// The program file is compared by identity, not by name (Linux: the file
// /proc/PID/exe names; Windows: the full image path), so a renamed or
// linked copy of the binary is still this program. Where the working
// directory of another process cannot be read (Windows), a live process of
// this program file is `same_program`: the run lock decides.
[[nodiscard]] ProcessCheck check_process(std::uint32_t pid);

// Asks the process to end (Linux: SIGTERM; Windows: TerminateProcess, then
// a bounded wait for the end it starts). False when the request is refused
// (for example another user's process); true does not promise that the
// process has ended: check_process tells.
[[nodiscard]] bool terminate_process(std::uint32_t pid);

// Starts a hidden, detached copy of this program with the argument "-s",
// in the current working directory, surviving the console that started it
// (on Windows outside the caller's job where that job allows it). *pid is
// the copy's pid (0 when it did not start).
[[nodiscard]] bool start_detached_copy(std::uint32_t* pid);

}  // namespace plat
