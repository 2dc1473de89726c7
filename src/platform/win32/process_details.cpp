// The owner and command line of one process on Windows: the walk opens no
// process, and reading either would open one, so neither is read.
#include "platform/process_details.h"

namespace plat {

bool process_user(std::uint32_t, TextBuffer out) {
    text_copy_n(out, "", 0);
    return false;
}

bool process_command_line(std::uint32_t, TextBuffer out) {
    text_copy_n(out, "", 0);
    return false;
}

}  // namespace plat
