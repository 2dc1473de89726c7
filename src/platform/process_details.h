// What the notices tell of the few processes they name: the account that
// runs a process and its command line. Read for a handful of processes,
// never during a walk.
#pragma once

#include <cstdint>

#include "text/fixed_text.h"

namespace plat {

// The account name of the owner of process `pid` (Linux: the uid of
// /proc/PID named by /etc/passwd, read directly, or the number when the
// file does not name it). False, and `out` empty, when it cannot be read:
// a process that has ended, and always on Windows, whose walk opens no
// process.
[[nodiscard]] bool process_user(std::uint32_t pid, TextBuffer out);

// The command line of process `pid`, its arguments joined by blanks, cut
// to `out` (Linux: /proc/PID/cmdline). Neither checked nor made printable
// here. False, and `out` empty, when there is none to read: a kernel
// thread, a process that has ended, and always on Windows.
[[nodiscard]] bool process_command_line(std::uint32_t pid, TextBuffer out);

}  // namespace plat
