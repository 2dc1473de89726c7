// The in-process lock on POSIX: a pthread mutex held in the Lock's storage.
#include <pthread.h>

#include <new>

#include "platform/platform.h"

namespace plat {

static_assert(sizeof(pthread_mutex_t) <= 64, "Lock storage too small for a mutex");

namespace {
pthread_mutex_t* mutex_of(unsigned char* storage) {
    return std::launder(reinterpret_cast<pthread_mutex_t*>(storage));
}
}  // namespace

Lock::Lock() : storage_{} { pthread_mutex_init(new (storage_) pthread_mutex_t, nullptr); }
Lock::~Lock() { pthread_mutex_destroy(mutex_of(storage_)); }
void Lock::enter() { pthread_mutex_lock(mutex_of(storage_)); }
void Lock::leave() { pthread_mutex_unlock(mutex_of(storage_)); }

}  // namespace plat
