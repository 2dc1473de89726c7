// The process walk on Windows. Each walk asks the system once for its
// process information (NtQuerySystemInformation, SystemProcessInformation):
// id, wide-character image name and working set of every process, read
// without opening any of them. A CPU-time walk then opens each process with
// the one right GetProcessTimes needs, query-limited information; never
// with VM-read. Processes that refuse even that (another account's, for a
// standard user) are counted, not shown.
#include <windows.h>
#include <winternl.h>

#include "platform/backend.h"
#include "platform/win32/convert.h"
#include "platform/win32/win_handle.h"
#include "text/fixed_text.h"

namespace plat {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows names are UTF-16");

namespace {

constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004UL);
// processes and threads started between asking the size and the query
constexpr ULONG kSnapshotSlack = 64 * 1024;
constexpr int kSnapshotAttempts = 4;

enum class TimesRead { read, gone, refused };

TimesRead read_cpu_time(DWORD pid, std::uint64_t* out) {
    WinHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (process.h == nullptr) {
        // an id that names no process any more
        return GetLastError() == ERROR_INVALID_PARAMETER ? TimesRead::gone : TimesRead::refused;
    }
    FILETIME creation{};
    FILETIME exit{};
    FILETIME kernel{};
    FILETIME user{};
    if (!GetProcessTimes(process.h, &creation, &exit, &kernel, &user)) return TimesRead::refused;
    *out = file_time_value(kernel) + file_time_value(user);
    return TimesRead::read;
}

using QuerySystemInformation = NTSTATUS(WINAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);

// NtQuerySystemInformation has no import library: it is looked up in ntdll.dll,
// which every process has loaded.
QuerySystemInformation query_function() {
    static const QuerySystemInformation function = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        const FARPROC found = ntdll != nullptr ? GetProcAddress(ntdll, "NtQuerySystemInformation") : nullptr;
        return reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void (*)()>(found));
    }();
    return function;
}

// The system's process information in pages of our own, or null.
void* query_processes(std::size_t* size) {
    const QuerySystemInformation query = query_function();
    if (query == nullptr) return nullptr;
    ULONG needed = 0;
    (void)query(SystemProcessInformation, nullptr, 0, &needed);
    for (int attempt = 0; attempt < kSnapshotAttempts; ++attempt) {
        const ULONG cap = needed + needed / 4 + kSnapshotSlack;
        void* buffer = VirtualAlloc(nullptr, cap, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (buffer == nullptr) return nullptr;
        ULONG got = 0;
        const NTSTATUS status = query(SystemProcessInformation, buffer, cap, &got);
        if (status >= 0) {
            *size = cap;
            return buffer;
        }
        VirtualFree(buffer, 0, MEM_RELEASE);
        if (status != kInfoLengthMismatch) return nullptr;
        needed = got > cap ? got : cap;
    }
    return nullptr;
}

}  // namespace

bool walk_open(ProcessWalk* walk) {
    walk->state = WalkState{};
    walk->state.info = query_processes(&walk->state.size);
    return walk->state.info != nullptr;
}

WalkStep walk_step(ProcessWalk* walk, ProcessEntry* out) {
    WalkState* state = &walk->state;
    const auto* base = static_cast<const unsigned char*>(state->info);
    while (!state->done && state->offset + sizeof(SYSTEM_PROCESS_INFORMATION) <= state->size) {
        const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(base + state->offset);
        if (entry->NextEntryOffset == 0) state->done = true;
        state->offset += entry->NextEntryOffset;
        const DWORD pid = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId));
        // the idle process stands for the idle time, not for a process
        if (pid == 0) continue;
        if (walk->measure == ProcessMeasure::working_set) {
            out->working_set = entry->VirtualMemoryCounters.WorkingSetSize;
        } else {
            const TimesRead read = read_cpu_time(pid, &out->cpu_time);
            if (read == TimesRead::refused) return WalkStep::refused;
            if (read == TimesRead::gone) return WalkStep::gone;
        }
        out->pid = pid;
        out->start_time = static_cast<std::uint64_t>(entry->CreateTime.QuadPart);
        text_copy_utf16(TextBuffer{out->name, sizeof out->name},
                        reinterpret_cast<const char16_t*>(entry->ImageName.Buffer),
                        entry->ImageName.Length / sizeof(wchar_t));
        return WalkStep::entry;
    }
    return WalkStep::end;
}

void walk_close(ProcessWalk* walk) { VirtualFree(walk->state.info, 0, MEM_RELEASE); }

}  // namespace plat
