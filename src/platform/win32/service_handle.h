// One owner per service manager handle: closed on every path out of its scope.
#pragma once

#include <windows.h>

namespace plat {

struct ServiceHandle {
    SC_HANDLE h = nullptr;
    explicit ServiceHandle(SC_HANDLE handle) : h(handle) {}
    ~ServiceHandle() {
        if (h != nullptr) CloseServiceHandle(h);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;
};

}  // namespace plat
