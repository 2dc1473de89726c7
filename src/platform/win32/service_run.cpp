// The monitor under the service manager: the dispatcher on the program's
// main thread, the monitor on the service's thread, and the manager's stop,
// shut-down and pre-shutdown turned into termination requests.
#include <windows.h>

#include <cstdlib>

#include "platform/service.h"
#include "platform/system_event.h"
#include "platform/termination.h"
#include "platform/win32/convert.h"
#include "platform/win32/termination.h"

namespace plat {

namespace {

// a request from the service manager: this bit and the control code
constexpr int kServiceRequestBit = 0x10000;
// the time a stop may take: the running command is ended at once
constexpr DWORD kStopWaitHintMs = 30000;

SERVICE_STATUS_HANDLE g_status_handle = nullptr;
SERVICE_STATUS g_status{};
int (*g_monitor)() = nullptr;
const char* g_folder = nullptr;
int g_exit_code = 0;

void report(DWORD state, DWORD service_code) {
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PRESHUTDOWN : 0;
    g_status.dwWin32ExitCode = service_code != 0 ? ERROR_SERVICE_SPECIFIC_ERROR : NO_ERROR;
    g_status.dwServiceSpecificExitCode = service_code;
    g_status.dwWaitHint = state == SERVICE_STOP_PENDING || state == SERVICE_START_PENDING ? kStopWaitHintMs : 0;
    if (state == SERVICE_STOP_PENDING) ++g_status.dwCheckPoint;
    if (g_status_handle != nullptr) SetServiceStatus(g_status_handle, &g_status);
}

// every end of the process after the start (the stop action's exit) tells
// the manager, which would otherwise count it as a crash and restart it
void report_stopped_at_exit() {
    if (g_status.dwCurrentState != SERVICE_STOPPED) report(SERVICE_STOPPED, 0);
}

DWORD WINAPI on_control(DWORD control, DWORD, void*, void*) {
    switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
        case SERVICE_CONTROL_PRESHUTDOWN:
            report(SERVICE_STOP_PENDING, 0);
            termination_raise(kServiceRequestBit | static_cast<int>(control));
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI service_main(DWORD, LPWSTR*) {
    g_status_handle = RegisterServiceCtrlHandlerExW(L"loadhawk", on_control, nullptr);
    if (g_status_handle == nullptr) {
        g_exit_code = 1;
        return;
    }
    report(SERVICE_START_PENDING, 0);
    const WidePath folder(g_folder);
    if (!folder.ok || !SetCurrentDirectoryW(folder.text)) {
        // no log without the folder: the event log alone says it
        FixedText<kEventTextCap> text;
        text_format(text.out(), "loadhawk service not started: folder %s cannot be used (error %lu)", g_folder,
                    static_cast<unsigned long>(GetLastError()));
        write_system_event(EventType::error, kStartFailedEvent, text.c_str());
        g_exit_code = 1;
        report(SERVICE_STOPPED, kServiceStartFailed);
        return;
    }
    outlive_logoffs();
    std::atexit(report_stopped_at_exit);
    report(SERVICE_RUNNING, 0);
    // returns only when the start failed
    g_exit_code = g_monitor();
    report(SERVICE_STOPPED, kServiceStartFailed);
}

}  // namespace

int service_run(const char* folder, int (*monitor)()) {
    g_folder = folder;
    g_monitor = monitor;
    SERVICE_TABLE_ENTRYW table[] = {{const_cast<LPWSTR>(L"loadhawk"), service_main}, {nullptr, nullptr}};
    if (!StartServiceCtrlDispatcherW(table)) {
        return GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT ? kNotUnderServiceManager : 1;
    }
    return g_exit_code;
}

bool is_service_request(int request) { return request >= 0 && (request & kServiceRequestBit) != 0; }

}  // namespace plat
