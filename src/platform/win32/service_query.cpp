// The installed service's state and folder, and a stop through the manager.
#include <windows.h>

#include <cwchar>

#include "platform/service.h"
#include "platform/win32/convert.h"
#include "platform/win32/service_handle.h"

namespace plat {

namespace {

constexpr DWORD kConfigCap = 8192;

}  // namespace

ServiceState service_state(TextBuffer folder) {
    text_copy(folder, "");
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager.h == nullptr) return ServiceState::unknown;
    ServiceHandle service(OpenServiceW(manager.h, L"loadhawk", SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG));
    if (service.h == nullptr) {
        return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? ServiceState::absent : ServiceState::unknown;
    }
    alignas(8) unsigned char buffer[kConfigCap];
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer);
    DWORD needed = 0;
    if (QueryServiceConfigW(service.h, config, sizeof buffer, &needed) && config->lpBinaryPathName != nullptr) {
        // ... -service "FOLDER"
        const wchar_t* at = std::wcsstr(config->lpBinaryPathName, L" -service \"");
        if (at != nullptr) {
            wchar_t path[MAX_PATH];
            std::size_t length = 0;
            for (at += 11; *at != L'\0' && *at != L'"' && length + 1 < MAX_PATH; ++at) path[length++] = *at;
            path[length] = L'\0';
            (void)wide_to_utf8(path, folder);
        }
    }
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.h, &status)) return ServiceState::unknown;
    return status.dwCurrentState == SERVICE_STOPPED ? ServiceState::stopped : ServiceState::running;
}

bool is_working_directory(const char* folder) {
    const WidePath wide(folder);
    wchar_t here[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, here);
    if (!wide.ok || length == 0 || length >= MAX_PATH) return false;
    return CompareStringOrdinal(wide.text, -1, here, -1, TRUE) == CSTR_EQUAL;
}

bool service_stop() {
    ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager.h == nullptr) return false;
    ServiceHandle service(OpenServiceW(manager.h, L"loadhawk", SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (service.h == nullptr) return false;
    SERVICE_STATUS status{};
    if (!ControlService(service.h, SERVICE_CONTROL_STOP, &status)) return false;
    for (int tries = 0; tries < 300 && status.dwCurrentState != SERVICE_STOPPED; ++tries) {
        Sleep(100);
        if (!QueryServiceStatus(service.h, &status)) break;
    }
    return status.dwCurrentState == SERVICE_STOPPED;
}

}  // namespace plat
