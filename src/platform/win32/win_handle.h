// One owner per Windows handle: closed on every path out of its scope.
#pragma once

#include <windows.h>

namespace plat {

struct WinHandle {
    HANDLE h = nullptr;
    WinHandle() = default;
    explicit WinHandle(HANDLE handle) : h(handle) {}
    ~WinHandle() { close(); }
    WinHandle(const WinHandle&) = delete;
    WinHandle& operator=(const WinHandle&) = delete;
    // a failed open gives null, a failed snapshot INVALID_HANDLE_VALUE
    void close() {
        if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
        h = nullptr;
    }
};

}  // namespace plat
