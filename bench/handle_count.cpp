// handle_count PID: prints how many handles the Windows process PID holds.
// The soak run uses it under Wine, where GetProcessHandleCount is a stub:
// the system's handle table (NtQuerySystemInformation, class 16) is counted
// by owner instead.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct HandleEntry {
    ULONG owner_pid;
    BYTE object_type;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
};

struct HandleTable {
    ULONG count;
    HandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004L);

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: handle_count PID\n");
        return 2;
    }
    const ULONG pid = std::strtoul(argv[1], nullptr, 10);
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    FARPROC proc = ntdll != nullptr ? GetProcAddress(ntdll, "NtQuerySystemInformation") : nullptr;
    if (proc == nullptr) return 1;
    QuerySystemInformation query;
    static_assert(sizeof query == sizeof proc);
    std::memcpy(&query, &proc, sizeof query);

    std::vector<unsigned char> buffer(1 << 20);
    LONG status = 0;
    for (;;) {
        ULONG needed = 0;
        status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status != kInfoLengthMismatch) break;
        buffer.resize(buffer.size() * 2);
    }
    if (status != 0) {
        std::fprintf(stderr, "handle table unavailable (status %lx)\n", static_cast<unsigned long>(status));
        return 1;
    }
    const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
    unsigned long held = 0;
    for (ULONG i = 0; i < table->count; ++i) {
        if (table->entries[i].owner_pid == pid) ++held;
    }
    std::printf("%lu\n", held);
    return 0;
}
