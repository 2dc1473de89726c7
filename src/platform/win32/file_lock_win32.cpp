// The mail lock across processes on Windows: LockFileEx on a lock file.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace plat {

FileLockResult file_lock_acquire(const char* path, std::uint32_t timeout_ms, FileLock* out) {
    out->handle = -1;
    // paths are UTF-8, like every text of the program
    wchar_t wide[kTransientPathCap];
    if (!utf8_to_wide(path, wide, kTransientPathCap)) return FileLockResult::unavailable;
    HANDLE file = CreateFileW(wide, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FileLockResult::unavailable;
    std::uint32_t waited_ms = 0;
    for (;;) {
        OVERLAPPED at{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
            out->handle = reinterpret_cast<std::intptr_t>(file);
            return FileLockResult::held;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION) {
            CloseHandle(file);
            return FileLockResult::unavailable;
        }
        if (waited_ms >= timeout_ms) {
            CloseHandle(file);
            return FileLockResult::busy;
        }
        Sleep(20);
        waited_ms += 20;
    }
}

void file_lock_release(FileLock* lock) {
    if (lock == nullptr || lock->handle == -1) return;
    HANDLE file = reinterpret_cast<HANDLE>(lock->handle);
    OVERLAPPED at{};
    UnlockFileEx(file, 0, 1, 0, &at);
    CloseHandle(file);
    lock->handle = -1;
}

}  // namespace plat
