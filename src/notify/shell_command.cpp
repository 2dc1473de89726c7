#include "notify/shell_command.h"

#include "platform/command.h"
#include "text/fixed_text.h"

int run_shell_command(const char* command, std::uint32_t timeout_seconds) {
    if (command == nullptr || command[0] == '\0') return -1;
    // the whole line, interpreter prefix included, holds at most 8191
    // characters: a longer command loses its tail
    FixedText<kCommandLineCap> line;
    const std::size_t prefix = line.format("%s", plat::interpreter_prefix());
    line.append("%s", command);
    return plat::run_hidden_command(line.c_str() + prefix, timeout_seconds);
}
