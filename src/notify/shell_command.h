// Runs one command line hidden through the command interpreter.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t kCommandLineCap = 8192;

// Runs `command` behind the interpreter prefix ("cmd.exe /D /V:OFF /S /C ", "/bin/sh -c "),
// the whole line cut at 8191 characters, and waits at most `timeout_seconds`
// (0: no limit). Returns the exit code; -1 when `command` is absent or empty
// or the interpreter cannot be started; 1 when the exit code cannot be read;
// 124 when the wait ran out (the command and all it started are ended).
int run_shell_command(const char* command, std::uint32_t timeout_seconds);
