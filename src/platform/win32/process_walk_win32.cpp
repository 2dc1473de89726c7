// The process walk on Windows: a toolhelp snapshot of all processes, and
// each process opened once, read and closed again at once.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include "platform/platform.h"
#include "platform/win32/win_handle.h"

namespace plat {

static_assert(sizeof(PROCESSENTRY32) == 304, "the 8-bit process entry is 304 bytes");
static_assert(sizeof(PROCESS_MEMORY_COUNTERS) == 72, "the basic memory counters are 72 bytes");

namespace {

std::uint64_t file_time_value(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Reads the walk's measure of one open process; false when it cannot be read.
bool read_measure(HANDLE process, ProcessMeasure measure, ProcessEntry* out) {
    if (measure == ProcessMeasure::working_set) {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        if (!K32GetProcessMemoryInfo(process, &counters, sizeof counters)) return false;
        out->working_set = counters.WorkingSetSize;
        return true;
    }
    FILETIME creation{};
    FILETIME exit{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return false;
    out->cpu_time = file_time_value(kernel) + file_time_value(user);
    return true;
}

}  // namespace

bool process_walk_begin(ProcessWalk* walk, ProcessMeasure measure) {
    walk->measure = measure;
    walk->started = false;
    walk->handle = nullptr;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return false;
    walk->handle = snapshot;
    return true;
}

bool process_walk_next(ProcessWalk* walk, ProcessEntry* out) {
    out->pid = 0;
    out->name[0] = '\0';
    out->working_set = 0;
    out->cpu_time = 0;
    if (walk->handle == nullptr) return false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (;;) {
        const BOOL got = walk->started ? Process32Next(walk->handle, &entry)
                                       : Process32First(walk->handle, &entry);
        walk->started = true;
        if (!got) return false;
        // the idle process, protected processes and other users' processes
        // cannot be opened; they are skipped
        WinHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE,
                                      entry.th32ProcessID));
        if (process.h == nullptr) continue;
        if (!read_measure(process.h, walk->measure, out)) continue;
        out->pid = entry.th32ProcessID;
        text_copy(TextBuffer{out->name, sizeof out->name}, entry.szExeFile);
        return true;
    }
}

void process_walk_end(ProcessWalk* walk) {
    if (walk->handle != nullptr) {
        CloseHandle(walk->handle);
        walk->handle = nullptr;
    }
}

}  // namespace plat
