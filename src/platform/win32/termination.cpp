// Termination requests on Windows: the console's Ctrl-C, Ctrl-Break, close,
// log-off and shut-down events. The handler runs on a thread of its own
// that the system starts: it records the event, ends the running command's
// job and wakes the program's thread, which does the rest and ends the
// process while the handler waits.
#include <windows.h>

#include "platform/backend.h"
#include "platform/termination.h"
#include "platform/win32/termination.h"

namespace plat {

namespace {

CRITICAL_SECTION g_job_guard;
HANDLE g_job = nullptr;
HANDLE g_wake = nullptr;  // manual reset: set once a request came
bool g_ready = false;

// How long the handler holds the system's hand (which ends the process
// when the handler returns from a close event) while the program's thread
// removes its files.
constexpr DWORD kHandlerGraceMs = 4000;

BOOL WINAPI on_console_event(DWORD event) {
    // handled, and nothing done: the documented advice for a process that
    // outlives the user who logs off (a service, a detached copy)
    if (event == CTRL_LOGOFF_EVENT && logoffs_outlived()) return TRUE;
    termination_record(static_cast<int>(event));
    EnterCriticalSection(&g_job_guard);
    if (g_job != nullptr) TerminateJobObject(g_job, 128);
    LeaveCriticalSection(&g_job_guard);
    SetEvent(g_wake);
    Sleep(kHandlerGraceMs);
    return TRUE;
}

}  // namespace

const char* termination_request_kind() { return "console event"; }

void handle_termination_requests(StopAction stop) {
    termination_set_action(stop);
    if (!g_ready) {
        InitializeCriticalSection(&g_job_guard);
        g_wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        g_ready = g_wake != nullptr;
        if (!g_ready) return;
    }
    // a detached copy has no console: a log-off it sees is another's, or
    // that of the session that started it, which it outlives
    if (GetConsoleWindow() == nullptr) outlive_logoffs();
    SetConsoleCtrlHandler(on_console_event, TRUE);
}


void termination_raise(int request) {
    termination_record(request);
    if (!g_ready) return;
    EnterCriticalSection(&g_job_guard);
    if (g_job != nullptr) TerminateJobObject(g_job, 128);
    LeaveCriticalSection(&g_job_guard);
    SetEvent(g_wake);
}

void termination_track_job(HANDLE job) {
    if (!g_ready) return;
    EnterCriticalSection(&g_job_guard);
    g_job = job;
    // a request that came before the job was known ends it now
    if (job != nullptr && termination_request() >= 0) TerminateJobObject(job, 128);
    LeaveCriticalSection(&g_job_guard);
}

void termination_wait(DWORD milliseconds) {
    termination_checkpoint();
    if (g_ready) {
        WaitForSingleObject(g_wake, milliseconds);
    } else {
        Sleep(milliseconds);
    }
    termination_checkpoint();
}

}  // namespace plat
