// The process walk on Linux: the numeric entries of /proc, read in blocks
// with getdents64 into the walk's own state, and each process's
// /proc/PID/stat read with one openat, read and close into a stack buffer.
// Both measures come from that one file; each walk converts only its own.
//
// Kernel threads are listed like every other process, as Windows lists
// every process it may open: they hold no memory of their own (rss 0), so
// they never enter the memory list, and the CPU time they burn (kswapd
// under memory pressure, a busy kworker) is load of this machine.
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include "platform/backend.h"
#include "platform/linux/proc_parse.h"
#include "platform/linux/proc_read.h"
#include "text/fixed_text.h"

namespace plat {

namespace {

// /proc/PID/stat stays far below this; comm is at most 64 characters
constexpr std::size_t kStatTextCap = 1024;

// The next directory entry's name, reading a new block when the last one
// is used up; null after the last entry.
const char* next_entry_name(WalkState* state) {
    if (state->offset >= state->filled) {
        const ssize_t got = getdents64(state->dir_fd, state->entries, sizeof state->entries);
        if (got <= 0) return nullptr;
        state->filled = static_cast<std::size_t>(got);
        state->offset = 0;
    }
    const auto* entry = reinterpret_cast<const struct dirent64*>(state->entries + state->offset);
    state->offset += entry->d_reclen;
    return entry->d_name;
}

// "1234/stat" for a process directory name made only of digits; false for
// every other entry of /proc.
bool stat_path_of(const char* name, char (&path)[32], std::uint32_t* pid) {
    std::uint64_t number = 0;
    std::size_t length = 0;
    for (; name[length] != '\0'; ++length) {
        const char c = name[length];
        if (c < '0' || c > '9' || length >= 10) return false;
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (length == 0 || number == 0 || number > 0x7fffffffu) return false;
    std::memcpy(path, name, length);
    std::memcpy(path + length, "/stat", sizeof "/stat");
    *pid = static_cast<std::uint32_t>(number);
    return true;
}

}  // namespace

bool walk_open(ProcessWalk* walk) {
    WalkState* state = &walk->state;
    state->filled = 0;
    state->offset = 0;
    state->dir_fd = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return state->dir_fd >= 0;
}

WalkStep walk_step(ProcessWalk* walk, ProcessEntry* out) {
    WalkState* state = &walk->state;
    for (;;) {
        const char* name = next_entry_name(state);
        if (name == nullptr) return WalkStep::end;
        char path[32];
        std::uint32_t pid = 0;
        if (!stat_path_of(name, path, &pid)) continue;
        char text[kStatTextCap];
        errno = 0;
        const std::size_t size = read_proc_file(state->dir_fd, path, text, sizeof text);
        ProcStatFields fields{};
        if (!parse_proc_stat(text, size, &fields)) {
            // a process that ended since the directory was read is skipped;
            // one whose file we may not read (/proc mounted with hidepid)
            // is counted as well
            return size == 0 && (errno == EACCES || errno == EPERM) ? WalkStep::refused : WalkStep::gone;
        }
        out->pid = pid;
        text_copy_n(TextBuffer{out->name, sizeof out->name}, fields.name, fields.name_length);
        out->start_time = ticks_to_100ns(fields.starttime);
        if (walk->measure == ProcessMeasure::working_set) {
            out->working_set = fields.rss_pages * page_bytes();
        } else {
            out->cpu_time = ticks_to_100ns(fields.utime + fields.stime);
        }
        return WalkStep::entry;
    }
}

void walk_close(ProcessWalk* walk) { close(walk->state.dir_fd); }

}  // namespace plat
