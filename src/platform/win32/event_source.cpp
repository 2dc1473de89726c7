#include "platform/win32/event_source.h"

#include <windows.h>

#include <cwchar>

namespace plat {

namespace {
constexpr wchar_t kSourceKey[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\loadhawk";
}  // namespace

bool register_event_source(const wchar_t* exe) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return false;
    }
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    const DWORD exe_bytes = static_cast<DWORD>((std::wcslen(exe) + 1) * sizeof(wchar_t));
    const bool ok =
        RegSetValueExW(key, L"EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(exe), exe_bytes) ==
            ERROR_SUCCESS &&
        RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types) ==
            ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

void unregister_event_source() { (void)RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSourceKey); }

}  // namespace plat
