// Reading /proc on Linux: one open, one read, one close into the caller's
// buffer, and the two system constants the readings are scaled by.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

// Reads up to cap - 1 bytes of `path` (relative to the directory `dir_fd`,
// or AT_FDCWD) into `buffer` and terminates them. Returns the bytes read;
// 0 when the file cannot be opened or read (a process that has just ended).
std::size_t read_proc_file(int dir_fd, const char* path, char* buffer, std::size_t cap);

// Clock ticks (the unit of /proc/stat and /proc/PID/stat) in 100-ns units.
std::uint64_t ticks_to_100ns(std::uint64_t ticks);

// The size of one memory page in bytes.
std::uint64_t page_bytes();

}  // namespace plat
