// Locks within this process and across the copies of the program.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include "platform/win32/types.h"
#else
#include "platform/linux/types.h"
#endif

namespace plat {

// A mutual-exclusion lock within this process (critical section, mutex).
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    void enter();
    void leave();

private:
    LockState state_;
};

// An exclusive lock that every copy of the program working in the same
// directory sees: a lock on the file `path` (created when missing and left
// in place), taken with flock / LockFileEx. It ends with file_lock_release,
// or with the process.
struct FileLock {
    std::intptr_t handle;  // descriptor or HANDLE; -1 when not held
};
enum class FileLockResult {
    held,         // the lock is ours
    busy,         // another holder kept it for the whole wait
    unavailable,  // the lock file cannot be opened or locked
};
// Waits at most `timeout_ms` for the lock. *out is not held unless the
// result is `held`. The lock file is a kept file (see open_kept_file).
[[nodiscard]] FileLockResult file_lock_acquire(const char* path, std::uint32_t timeout_ms,
                                               FileLock* out);
void file_lock_release(FileLock* lock);

// Whether some process holds the lock of `path` now, without creating the
// file: `free` when it is missing or nobody holds it, `unknown` when it
// cannot be opened (another user's private file).
enum class LockProbe { free, held, unknown };
[[nodiscard]] LockProbe file_lock_probe(const char* path);

class LockGuard {
public:
    explicit LockGuard(Lock& lock) : lock_(lock) { lock_.enter(); }
    ~LockGuard() { lock_.leave(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    Lock& lock_;
};

}  // namespace plat
