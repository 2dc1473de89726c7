// The state a Linux backend keeps inside the platform's records, in plain
// types (the backend checks them against the system's own), so the headers
// that embed them include no system header.
#pragma once

#include <cstddef>

namespace plat {

// A walk over /proc: its directory descriptor and one block of directory
// entries read with getdents64.
struct WalkState {
    int dir_fd;
    std::size_t filled;  // bytes of directory entries in `entries`
    std::size_t offset;  // the next entry in `entries`
    alignas(8) unsigned char entries[8128];
};

// The room of a pthread mutex (glibc, 64-bit).
struct LockState {
    alignas(8) unsigned char mutex[40];
};

}  // namespace plat
