// The state the Windows backend keeps inside the platform's records, in
// plain types (the backend checks them against the system's own), so the
// headers that embed them include no system header.
#pragma once

#include <cstddef>

namespace plat {

// A walk over the system's process information, in the one buffer the
// backend keeps for all walks.
struct WalkState {
    std::size_t offset;  // the next entry
    bool done;
};

// The fields of a CRITICAL_SECTION.
struct LockState {
    void* debug_info;
    long lock_count;
    long recursion_count;
    void* owning_thread;
    void* lock_semaphore;
    unsigned long long spin_count;
};

}  // namespace plat
