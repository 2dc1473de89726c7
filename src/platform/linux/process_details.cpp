// The owner and command line of one process on Linux, from /proc/PID.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

#include "platform/linux/passwd.h"
#include "platform/linux/proc_read.h"
#include "platform/process_details.h"

namespace plat {

bool process_user(std::uint32_t pid, TextBuffer out) {
    text_copy_n(out, "", 0);
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%lu", static_cast<unsigned long>(pid));
    // the directory of a process belongs to the process's real user
    struct stat info {};
    if (stat(path, &info) != 0) return false;
    user_name(info.st_uid, out);
    return true;
}

bool process_command_line(std::uint32_t pid, TextBuffer out) {
    text_copy_n(out, "", 0);
    if (out.cap == 0) return false;
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%lu/cmdline", static_cast<unsigned long>(pid));
    // the arguments, each ended by a zero byte; nothing for a kernel thread
    std::size_t size = read_proc_file(AT_FDCWD, path, out.data, out.cap);
    while (size > 0 && out.data[size - 1] == '\0') --size;
    for (std::size_t i = 0; i < size; ++i) {
        if (out.data[i] == '\0') out.data[i] = ' ';
    }
    out.data[size] = '\0';
    return size > 0;
}

}  // namespace plat
