#include "platform/win32/hidden_process.h"

namespace plat {

bool start_hidden(const wchar_t* program, wchar_t* command_line, DWORD flags,
                  PROCESS_INFORMATION* info) {
    *info = PROCESS_INFORMATION{};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    return CreateProcessW(program, command_line, nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                          &startup, info) != 0;
}

}  // namespace plat
