// This program's own identity, other processes' liveness, termination and
// the detached background copy, on Windows.
#include <windows.h>

#include "platform/process.h"
#include "platform/win32/hidden_process.h"
#include "platform/win32/win_handle.h"

namespace plat {

namespace {

// How long a termination may take to complete before the caller looks again.
constexpr DWORD kTerminateWaitMs = 5000;

// The full path of this program's executable file, wide: a folder outside
// the ANSI code page keeps its name. The path's length; 0 when it does not
// fit.
DWORD wide_module_path(wchar_t (&path)[kWidePathCap]) {
    const DWORD length = GetModuleFileNameW(nullptr, path, kWidePathCap);
    return length < kWidePathCap ? length : 0;
}

// Two paths that name one file (a hard or symbolic link to the program):
// the same volume and file index.
bool same_file(const wchar_t* a, const wchar_t* b) {
    BY_HANDLE_FILE_INFORMATION info[2]{};
    const wchar_t* paths[2] = {a, b};
    for (int i = 0; i < 2; ++i) {
        WinHandle file(CreateFileW(paths[i], 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
        if (file.h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.h, &info[i])) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh && info[0].nFileIndexLow == info[1].nFileIndexLow;
}

}  // namespace

std::uint32_t own_pid() { return static_cast<std::uint32_t>(GetCurrentProcessId()); }

ProcessCheck check_process(std::uint32_t pid) {
    if (pid == 0) return ProcessCheck::gone;
    WinHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid)));
    if (process.h == nullptr) {
        // a process of SYSTEM or of another account: alive, not ours to judge
        return GetLastError() == ERROR_ACCESS_DENIED ? ProcessCheck::denied : ProcessCheck::gone;
    }
    DWORD exit_code = 0;
    if (!GetExitCodeProcess(process.h, &exit_code)) return ProcessCheck::denied;
    if (exit_code != STILL_ACTIVE) return ProcessCheck::gone;
    // the same program file: the full image path in any letter case, or a
    // path that names the same file (a link); a renamed copy, or a pid
    // reused by another program, is no monitor
    wchar_t theirs[kWidePathCap];
    DWORD size = kWidePathCap;
    if (!QueryFullProcessImageNameW(process.h, 0, theirs, &size)) return ProcessCheck::denied;
    wchar_t ours[kWidePathCap];
    if (wide_module_path(ours) == 0) return ProcessCheck::denied;
    if (CompareStringOrdinal(theirs, -1, ours, -1, TRUE) != CSTR_EQUAL && !same_file(theirs, ours)) {
        return ProcessCheck::other_program;
    }
    // another process's working directory is not to be had here: the run
    // lock of the directory decides
    return ProcessCheck::same_program;
}

bool terminate_process(std::uint32_t pid) {
    WinHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid)));
    if (process.h == nullptr) return false;
    // a process that has already ended refuses the call (access denied)
    if (!TerminateProcess(process.h, 0) && WaitForSingleObject(process.h, 0) != WAIT_OBJECT_0) return false;
    // the termination completes after the call returns: wait for it
    (void)WaitForSingleObject(process.h, kTerminateWaitMs);
    return true;
}

bool start_detached_copy(std::uint32_t* pid) {
    *pid = 0;
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
    *pid = static_cast<std::uint32_t>(info.dwProcessId);
    const WinHandle thread(info.hThread);
    const WinHandle process(info.hProcess);
    return true;
}

}  // namespace plat
