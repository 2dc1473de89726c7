// Running one notification command through the system's interpreter.
#pragma once

#include <cstdint>

namespace plat {

// The command interpreter that runs notification commands.
enum class Interpreter { cmd, posix_sh };
Interpreter interpreter();

// The interpreter invocation placed before a command ("cmd.exe /D /V:OFF
// /S /C ", "/bin/sh -c "); its length counts toward the command-line capacity.
const char* interpreter_prefix();

// The null device as the interpreter names it ("nul", "/dev/null").
const char* null_device();

// Runs `command` through the interpreter: hidden, no handles inherited, in the
// current directory and environment, nothing it writes reaching our console.
// The interpreter is started by its full path; on Windows the program the
// command starts with is looked up along PATH and never in the current
// directory (cmd.exe would look there first), and cmd.exe reads at most
// 8191 characters of the command.
// Waits at most `timeout_seconds` (0 = no limit); on overrun the interpreter
// and everything it started are ended, and waited for (a few seconds at
// most) so that they hold no file, and the result is kCommandOverrun. On
// Windows a command word that is no cmd.exe command of its own and that no
// absolute PATH folder holds is not run: the result is 9009, cmd.exe's
// "not recognized", without starting cmd.exe.
// Result: the exit code; -1 when the interpreter cannot be started; 1 when
// the exit code cannot be read.
int run_hidden_command(const char* command, std::uint32_t timeout_seconds);

// Whether an absolute folder on PATH holds the program `name` (Windows:
// `name` with an extension of PATHEXT), as the command runner finds it.
[[nodiscard]] bool program_on_path(const char* name);

// The result of a command that ran out of time.
constexpr int kCommandOverrun = 124;

}  // namespace plat
