// Building the interpreter's command line on Windows.
#pragma once

#include <cstddef>

#include "platform/win32/hidden_process.h"

namespace plat {

// What cmd.exe reads after /C, at most.
constexpr std::size_t kCmdTextLimit = 8191;

// Writes to `found` the full path of the program `word` in the first
// absolute PATH folder that holds it, as cmd.exe finds it (with an extension
// of PATHEXT unless the word names one); false when none does.
[[nodiscard]] bool find_on_path(const wchar_t* word, std::size_t word_length, WideLine* found);

// Appends to `line` the interpreter's command line for `command`:
// "<interpreter_path>" /D /V:OFF /S /C "<command>", the command's program
// named by its full path when an absolute PATH folder holds it. A command
// longer than cmd.exe reads loses its tail.
enum class CommandLineResult {
    built,
    too_long,   // does not fit
    not_found,  // a program name that no absolute PATH folder holds and that
                // is no command of cmd.exe's own: cmd.exe would look for it
                // in relative PATH folders (the working directory's)
};
[[nodiscard]] CommandLineResult build_command_line(const wchar_t* interpreter_path, const wchar_t* command,
                                                   WideLine* line);

}  // namespace plat
