// This program's own identity, other processes' liveness, termination and
// the detached background copy, on Windows.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/hidden_process.h"
#include "platform/win32/win_handle.h"

namespace plat {

namespace {

// The file name after the last path separator.
const char* base_name(const char* path) {
    const char* base = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') base = p + 1;
    }
    return base;
}

// The full path of this program's executable file; false when the path does
// not fit into MAX_PATH characters.
bool module_path(char* path, DWORD cap) {
    const DWORD length = GetModuleFileNameA(nullptr, path, cap);
    return length > 0 && length < cap;
}

// The same, wide: a folder outside the ANSI code page keeps its name. The
// path's length; 0 when it does not fit.
DWORD wide_module_path(wchar_t (&path)[kWidePathCap]) {
    const DWORD length = GetModuleFileNameW(nullptr, path, kWidePathCap);
    return length < kWidePathCap ? length : 0;
}

}  // namespace

std::uint32_t own_pid() { return static_cast<std::uint32_t>(GetCurrentProcessId()); }

bool own_path(TextBuffer out) {
    text_copy(out, "");
    wchar_t path[kWidePathCap];
    const DWORD length = wide_module_path(path);
    if (length == 0) return false;
    text_copy_utf16(out, reinterpret_cast<const char16_t*>(path), length);
    return true;
}

bool is_live_loadhawk(std::uint32_t pid) {
    if (pid == 0) return false;
    WinHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
    if (process.h == nullptr) return false;
    DWORD exit_code = 0;
    if (!GetExitCodeProcess(process.h, &exit_code) || exit_code != STILL_ACTIVE) return false;
    // the same image name as ours, in any letter case: a pid reused by
    // another program is no monitor
    char theirs[MAX_PATH];
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameA(process.h, 0, theirs, &size)) return false;
    char ours[MAX_PATH];
    if (!module_path(ours, MAX_PATH)) return false;
    return lstrcmpiA(base_name(theirs), base_name(ours)) == 0;
}

bool terminate_process(std::uint32_t pid) {
    WinHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(pid)));
    if (process.h == nullptr) return false;
    // the outcome of the termination call itself is not examined
    (void)TerminateProcess(process.h, 0);
    return true;
}

bool start_detached_copy() {
    wchar_t path[kWidePathCap];
    const DWORD length = wide_module_path(path);
    if (length == 0) return false;
    wchar_t buffer[kWidePathCap + 8];
    WideLine command(buffer, sizeof buffer / sizeof buffer[0]);
    PROCESS_INFORMATION info{};
    const DWORD detached = DETACHED_PROCESS | CREATE_NO_WINDOW;
    bool started = false;
    // outside the caller's job where that job allows it (an SSH session's
    // job ends its processes when the session closes); inside it otherwise
    const DWORD tries[] = {detached | CREATE_BREAKAWAY_FROM_JOB, detached};
    for (const DWORD flags : tries) {
        command.length = 0;
        command.append(L"\"");
        command.append(path, length);
        command.append(L"\" -s");
        if (!command.ok) return false;
        started = start_hidden(path, command.data, flags, &info);
        if (started) break;
    }
    if (!started) return false;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return true;
}

}  // namespace plat
