// Comparing two paths by their full paths, on Windows, where names are
// equal regardless of case.
#include <windows.h>

#include "platform/files.h"
#include "platform/win32/convert.h"

namespace plat {

namespace {

// The full path of `path` ("." and ".." resolved against the working
// folder) in `full`; false when it cannot be had.
bool full_path(const char* path, wchar_t* full) {
    const WidePath wide(path);
    if (!wide.ok) return false;
    const DWORD length = GetFullPathNameW(wide.text, kTransientPathCap, full, nullptr);
    return length > 0 && length < kTransientPathCap;
}

}  // namespace

bool same_folder_entry(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    wchar_t full_a[kTransientPathCap] = {};
    wchar_t full_b[kTransientPathCap] = {};
    if (!full_path(a, full_a) || !full_path(b, full_b)) return false;
    return CompareStringOrdinal(full_a, -1, full_b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace plat
