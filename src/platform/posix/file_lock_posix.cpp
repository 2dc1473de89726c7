// Locks across processes on POSIX: flock on a lock file.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"
#include "platform/posix/kept_open.h"

namespace plat {

FileLockResult file_lock_acquire(const char* path, std::uint32_t timeout_ms, FileLock* out) {
    out->handle = -1;
    if (path == nullptr) return FileLockResult::unavailable;
    FileRefusal why = FileRefusal::none;
    const int fd = open_kept_fd(path, O_RDWR | O_CREAT, 0600, &why);
    if (fd < 0) return FileLockResult::unavailable;
    std::uint32_t waited_ms = 0;
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            out->handle = fd;
            return FileLockResult::held;
        }
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) {
            close(fd);
            return FileLockResult::unavailable;
        }
        if (waited_ms >= timeout_ms) {
            close(fd);
            return FileLockResult::busy;
        }
        sleep_ms(20);
        waited_ms += 20;
    }
}

LockProbe file_lock_probe(const char* path) {
    FileRefusal why = FileRefusal::none;
    // flock takes no notice of the open mode: reading is enough to test it
    const int fd = open_kept_fd(path, O_RDONLY, 0, &why);
    if (fd < 0) return why == FileRefusal::missing ? LockProbe::free : LockProbe::unknown;
    LockProbe result = LockProbe::unknown;
    int got;
    do {
        got = flock(fd, LOCK_EX | LOCK_NB);
    } while (got != 0 && errno == EINTR);
    if (got == 0) {
        (void)flock(fd, LOCK_UN);
        result = LockProbe::free;
    } else if (errno == EWOULDBLOCK) {
        result = LockProbe::held;
    }
    close(fd);
    return result;
}

void file_lock_release(FileLock* lock) {
    if (lock == nullptr || lock->handle < 0) return;
    const int fd = static_cast<int>(lock->handle);
    (void)flock(fd, LOCK_UN);
    close(fd);
    lock->handle = -1;
}

}  // namespace plat
