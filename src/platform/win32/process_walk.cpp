// The process walk on Windows. Each walk asks the system once for its
// process information (NtQuerySystemInformation, SystemProcessInformation):
// id, wide-character image name, working set, user, kernel and creation
// time of every process, read without opening any of them, so the lists are
// complete for any account. The answer lands in one buffer kept for the
// life of the program and grown only when the system asks for more: a walk
// allocates nothing.
#include <windows.h>
#include <winternl.h>

#include <cstddef>

#include "platform/backend.h"
#include "platform/process_table.h"

namespace plat {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows names are UTF-16");
static_assert(sizeof(void*) == 8, "the process record layout is that of x64");
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, CreateTime) == offsetof(ProcessRecord, create_time));
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, UserTime) == offsetof(ProcessRecord, user_time));
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, KernelTime) == offsetof(ProcessRecord, kernel_time));
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, ImageName) == offsetof(ProcessRecord, name_bytes));
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, ImageName.Buffer) == offsetof(ProcessRecord, name));
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, UniqueProcessId) == offsetof(ProcessRecord, pid));
static_assert(offsetof(SYSTEM_PROCESS_INFORMATION, VirtualMemoryCounters.WorkingSetSize) ==
              offsetof(ProcessRecord, working_set));

namespace {

constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004UL);

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

QueryAnswer query_processes(void* buffer, std::size_t capacity, std::size_t* needed) {
    const QuerySystemInformation query = query_function();
    if (query == nullptr) return QueryAnswer::failed;
    ULONG got = 0;
    const NTSTATUS status = query(SystemProcessInformation, buffer, static_cast<ULONG>(capacity), &got);
    if (status >= 0) return QueryAnswer::filled;
    *needed = got;
    return status == kInfoLengthMismatch ? QueryAnswer::needs_more : QueryAnswer::failed;
}

void* reserve_pages(std::size_t bytes) { return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE); }

void release_pages(void* pages, std::size_t) { VirtualFree(pages, 0, MEM_RELEASE); }

constexpr ProcessQueryOps kSystemQuery{query_processes, reserve_pages, release_pages};

// one walk at a time: the monitor's thread samples, and the commands walk once
ProcessTable table{};

}  // namespace

bool walk_open(ProcessWalk* walk) {
    walk->state = WalkState{};
    return process_table_fill(&table, kSystemQuery);
}

WalkStep walk_step(ProcessWalk* walk, ProcessEntry* out) {
    for (;;) {
        switch (process_table_step(table, &walk->state.offset, &walk->state.done, walk->measure, out)) {
            case RecordStep::entry:
                return WalkStep::entry;
            case RecordStep::skip:
                break;
            case RecordStep::end:
                return WalkStep::end;
        }
    }
}

void walk_close(ProcessWalk*) {}

}  // namespace plat
