// Locks across processes on Windows: LockFileEx on a lock file.
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/wide_path.h"

namespace plat {

namespace {

// The lock file, opened as a kept file: a directory, a device or a pipe at
// the name is refused. Null when it cannot be opened (`missing` tells why).
HANDLE open_lock_file(const char* path, DWORD access, DWORD disposition, bool* missing) {
    *missing = false;
    wchar_t wide[kTransientPathCap];
    if (path == nullptr || !utf8_to_wide(path, wide, kTransientPathCap)) return nullptr;
    HANDLE file = CreateFileW(wide, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        *missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return nullptr;
    }
    if (GetFileType(file) != FILE_TYPE_DISK) {
        CloseHandle(file);
        return nullptr;
    }
    return file;
}

bool lock_now(HANDLE file) {
    OVERLAPPED at{};
    return LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
}

void unlock(HANDLE file) {
    OVERLAPPED at{};
    UnlockFileEx(file, 0, 1, 0, &at);
}

}  // namespace

FileLockResult file_lock_acquire(const char* path, std::uint32_t timeout_ms, FileLock* out) {
    out->handle = -1;
    bool missing = false;
    HANDLE file = open_lock_file(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, &missing);
    if (file == nullptr) return FileLockResult::unavailable;
    std::uint32_t waited_ms = 0;
    for (;;) {
        if (lock_now(file)) {
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
        sleep_ms(20);
        waited_ms += 20;
    }
}

LockProbe file_lock_probe(const char* path) {
    bool missing = false;
    HANDLE file = open_lock_file(path, GENERIC_READ, OPEN_EXISTING, &missing);
    if (file == nullptr) return missing ? LockProbe::free : LockProbe::unknown;
    LockProbe result = LockProbe::unknown;
    if (lock_now(file)) {
        unlock(file);
        result = LockProbe::free;
    } else if (GetLastError() == ERROR_LOCK_VIOLATION) {
        result = LockProbe::held;
    }
    CloseHandle(file);
    return result;
}

void file_lock_release(FileLock* lock) {
    if (lock == nullptr || lock->handle == -1) return;
    HANDLE file = reinterpret_cast<HANDLE>(lock->handle);
    unlock(file);
    CloseHandle(file);
    lock->handle = -1;
}

}  // namespace plat
