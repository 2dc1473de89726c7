// Locks on Windows: LockFileEx on a lock file across processes, a critical section within one.
#include <windows.h>

#include <new>

#include "platform/locks.h"
#include "platform/time.h"
#include "platform/win32/convert.h"
#include "platform/win32/win_handle.h"

namespace plat {

namespace {

// The lock file, opened as a kept file into *file: a directory, a device or
// a pipe at the name is refused. False when it cannot be opened (`missing`
// tells why).
bool open_lock_file(const char* path, DWORD access, DWORD disposition, WinHandle* file, bool* missing) {
    *missing = false;
    const WidePath wide(path);
    if (!wide.ok) return false;
    file->h = CreateFileW(wide.text, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file->h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        *missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return false;
    }
    return GetFileType(file->h) == FILE_TYPE_DISK;
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
    WinHandle file;
    if (!open_lock_file(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, &file, &missing)) {
        return FileLockResult::unavailable;
    }
    std::uint32_t waited_ms = 0;
    for (;;) {
        if (lock_now(file.h)) {
            out->handle = reinterpret_cast<std::intptr_t>(file.h);
            file.h = nullptr;  // the lock owns it now
            return FileLockResult::held;
        }
        if (GetLastError() != ERROR_LOCK_VIOLATION) return FileLockResult::unavailable;
        if (waited_ms >= timeout_ms) return FileLockResult::busy;
        sleep_ms(20);
        waited_ms += 20;
    }
}

LockProbe file_lock_probe(const char* path) {
    bool missing = false;
    WinHandle file;
    if (!open_lock_file(path, GENERIC_READ, OPEN_EXISTING, &file, &missing)) {
        return missing ? LockProbe::free : LockProbe::unknown;
    }
    if (lock_now(file.h)) {
        unlock(file.h);
        return LockProbe::free;
    }
    return GetLastError() == ERROR_LOCK_VIOLATION ? LockProbe::held : LockProbe::unknown;
}

void file_lock_release(FileLock* lock) {
    if (lock == nullptr || lock->handle == -1) return;
    const WinHandle file(reinterpret_cast<HANDLE>(lock->handle));
    unlock(file.h);
    lock->handle = -1;
}

// The in-process lock: a critical section held in the Lock's state.
static_assert(sizeof(CRITICAL_SECTION) == sizeof(LockState), "LockState is not a critical section");
static_assert(alignof(CRITICAL_SECTION) == alignof(LockState), "LockState is not a critical section");

namespace {
CRITICAL_SECTION* section_of(LockState* state) {
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(state));
}
}  // namespace

Lock::Lock() : state_{} { InitializeCriticalSection(new (&state_) CRITICAL_SECTION); }
Lock::~Lock() { DeleteCriticalSection(section_of(&state_)); }
void Lock::enter() { EnterCriticalSection(section_of(&state_)); }
void Lock::leave() { LeaveCriticalSection(section_of(&state_)); }

}  // namespace plat
