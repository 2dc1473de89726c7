// The in-process lock on Windows: a critical section held in the Lock's storage.
#include <windows.h>

#include <new>

#include "platform/platform.h"

namespace plat {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "Lock storage too small for a critical section");

namespace {
CRITICAL_SECTION* section_of(unsigned char* storage) {
    return std::launder(reinterpret_cast<CRITICAL_SECTION*>(storage));
}
}  // namespace

Lock::Lock() : storage_{} { InitializeCriticalSection(new (storage_) CRITICAL_SECTION); }
Lock::~Lock() { DeleteCriticalSection(section_of(storage_)); }
void Lock::enter() { EnterCriticalSection(section_of(storage_)); }
void Lock::leave() { LeaveCriticalSection(section_of(storage_)); }

}  // namespace plat
