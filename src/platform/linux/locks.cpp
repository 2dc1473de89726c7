// Locks on Linux: flock on a lock file across processes, a pthread mutex within one.
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "platform/files.h"
#include "platform/linux/kept_open.h"
#include "platform/locks.h"
#include "platform/time.h"

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

// The in-process lock: a pthread mutex held in the Lock's state.
static_assert(sizeof(pthread_mutex_t) == sizeof(LockState), "LockState is not the size of a mutex");
static_assert(alignof(pthread_mutex_t) <= alignof(LockState), "LockState is not aligned for a mutex");

namespace {
pthread_mutex_t* mutex_of(LockState* state) {
    return std::launder(reinterpret_cast<pthread_mutex_t*>(state->mutex));
}
}  // namespace

Lock::Lock() : state_{} { pthread_mutex_init(new (state_.mutex) pthread_mutex_t, nullptr); }
Lock::~Lock() { pthread_mutex_destroy(mutex_of(&state_)); }
void Lock::enter() { pthread_mutex_lock(mutex_of(&state_)); }
void Lock::leave() { pthread_mutex_unlock(mutex_of(&state_)); }

}  // namespace plat
