// Registering and removing the loadhawk service with the service manager.
#include <windows.h>

#include <cwchar>

#include "platform/service.h"
#include "platform/win32/convert.h"
#include "platform/win32/event_source.h"
#include "platform/win32/folder_access.h"
#include "platform/win32/service_handle.h"

namespace plat {

namespace {

constexpr wchar_t kName[] = L"loadhawk";
constexpr wchar_t kDisplayName[] = L"loadhawk load monitor";
constexpr wchar_t kDescription[] =
    L"Watches CPU and memory load and sends notices by e-mail or Telegram when it stays high or low.";
constexpr wchar_t kAccount[] = L"NT SERVICE\\loadhawk";
constexpr std::size_t kCommandCap = 3 * MAX_PATH + 32;

bool elevated() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    const BOOL ok = GetTokenInformation(raw, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(raw);
    return ok && elevation.TokenIsElevated != 0;
}

ServiceSetup fail(TextBuffer report, const char* step) {
    text_append(report, "%s failed (error %lu)\n", step, static_cast<unsigned long>(GetLastError()));
    return ServiceSetup::failed;
}

// One optional setting; false on a failure other than a service manager
// that does not know the setting (Wine's lacks the recovery actions), which
// is said in the report.
bool set_config(SC_HANDLE service, DWORD level, void* value, const char* what, TextBuffer report) {
    if (ChangeServiceConfig2W(service, level, value)) return true;
    if (GetLastError() != ERROR_INVALID_LEVEL) return false;
    text_append(report, "Warning: %s not set: this service manager does not take them\n", what);
    return true;
}

bool configure(SC_HANDLE service, TextBuffer report) {
    SERVICE_DESCRIPTIONW description{const_cast<LPWSTR>(kDescription)};
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION, &description)) return false;
    SERVICE_PRESHUTDOWN_INFO preshutdown{kPreshutdownMs};
    if (!set_config(service, SERVICE_CONFIG_PRESHUTDOWN_INFO, &preshutdown, "the pre-shutdown time", report)) {
        return false;
    }
    SC_ACTION restart[3] = {{SC_ACTION_RESTART, kRestartDelayMs},
                            {SC_ACTION_RESTART, kRestartDelayMs},
                            {SC_ACTION_RESTART, kRestartDelayMs}};
    SERVICE_FAILURE_ACTIONSW actions{};
    actions.dwResetPeriod = 24 * 60 * 60;  // a day without failure forgets the count
    actions.cActions = 3;
    actions.lpsaActions = restart;
    if (!set_config(service, SERVICE_CONFIG_FAILURE_ACTIONS, &actions, "the recovery actions", report)) return false;
    // a stop with an error code (a start-up failure) restarts too
    SERVICE_FAILURE_ACTIONS_FLAG flag{TRUE};
    return set_config(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag, "the recovery actions for non-crash failures",
                      report);
}

}  // namespace

ServiceSetup service_install(TextBuffer report) {
    if (!elevated()) return ServiceSetup::not_elevated;
    wchar_t exe[MAX_PATH];
    wchar_t folder[MAX_PATH];
    const DWORD exe_length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const DWORD folder_length = GetCurrentDirectoryW(MAX_PATH, folder);
    if (exe_length == 0 || exe_length >= MAX_PATH || folder_length == 0 || folder_length >= MAX_PATH) {
        return fail(report, "Reading the program's and the folder's paths");
    }
    wchar_t command[kCommandCap];
    // a folder path ending in a backslash would escape the closing quote
    const wchar_t* trail = folder[folder_length - 1] == L'\\' ? L"." : L"";
    _snwprintf(command, kCommandCap, L"\"%ls\" -service \"%ls%ls\"", exe, folder, trail);
    command[kCommandCap - 1] = L'\0';
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (manager.h == nullptr) {
        return GetLastError() == ERROR_ACCESS_DENIED ? ServiceSetup::not_elevated
                                                     : fail(report, "Opening the service manager");
    }
    ServiceHandle existing(OpenServiceW(manager.h, kName, SERVICE_QUERY_STATUS));
    if (existing.h != nullptr) return ServiceSetup::exists;
    ServiceHandle service(CreateServiceW(manager.h, kName, kDisplayName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                         SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command, nullptr, nullptr,
                                         nullptr, kAccount, nullptr));
    if (service.h == nullptr) {
        return GetLastError() == ERROR_SERVICE_EXISTS ? ServiceSetup::exists
                                                      : fail(report, "Creating the service");
    }
    FixedText<kCommandCap * 3> text;
    (void)wide_to_utf8(command, text.out());
    text_append(report, "Service loadhawk installed: automatic start, account NT SERVICE\\loadhawk\n");
    text_append(report, "Command line: %s\n", text.c_str());
    if (!configure(service.h, report)) return fail(report, "Setting the description, recovery and pre-shutdown time");
    text_append(report, "Recovery: restart after %u s on any failure; pre-shutdown time %u s\n",
                kRestartDelayMs / 1000, kPreshutdownMs / 1000);
    if (!register_event_source(exe)) return fail(report, "Registering the event log source loadhawk");
    text_append(report, "Event log: source loadhawk in the Application log\n");
    (void)wide_to_utf8(folder, text.out());
    if (!restrict_folder(folder, report)) {
        return fail(report, "Setting the folder's permissions (Administrators and SYSTEM full, "
                            "NT SERVICE\\loadhawk modify)");
    }
    text_append(report, "Folder %s: Administrators and SYSTEM full control, NT SERVICE\\loadhawk modify, "
                        "nothing inherited\n", text.c_str());
    return ServiceSetup::done;
}

ServiceSetup service_uninstall(TextBuffer report) {
    if (!elevated()) return ServiceSetup::not_elevated;
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager.h == nullptr) return fail(report, "Opening the service manager");
    ServiceHandle service(OpenServiceW(manager.h, kName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (service.h == nullptr) {
        const DWORD error = GetLastError();
        if (error == ERROR_SERVICE_DOES_NOT_EXIST) return ServiceSetup::absent;
        return error == ERROR_ACCESS_DENIED ? ServiceSetup::not_elevated : fail(report, "Opening the service");
    }
    SERVICE_STATUS status{};
    if (ControlService(service.h, SERVICE_CONTROL_STOP, &status)) {
        // the monitor removes its files and reports stopped within seconds
        for (int tries = 0; tries < 300 && status.dwCurrentState != SERVICE_STOPPED; ++tries) {
            Sleep(100);
            if (!QueryServiceStatus(service.h, &status)) break;
        }
        text_append(report, "Service loadhawk stopped\n");
    }
    if (!DeleteService(service.h)) return fail(report, "Deleting the service");
    unregister_event_source();
    text_append(report, "Service loadhawk removed\n");
    return ServiceSetup::done;
}

}  // namespace plat
