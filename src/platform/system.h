// Figures and names of the whole machine.
#pragma once

#include <cstdint>

#include "text/fixed_text.h"

namespace plat {

// Cumulative system times in 100-ns units; kernel time includes idle time.
struct SystemTimes {
    std::uint64_t idle;
    std::uint64_t kernel;
    std::uint64_t user;
};
[[nodiscard]] bool system_times(SystemTimes* out);

struct MemoryStatus {
    std::uint32_t load_percent;  // physical-memory load, 0..100
    std::uint64_t total_bytes;
    std::uint64_t avail_bytes;
};
[[nodiscard]] bool memory_status(MemoryStatus* out);

// The logical CPUs the system runs processes on; at least 1.
std::uint32_t logical_cpu_count();

// The computer's name; false (and empty text) when it cannot be read.
[[nodiscard]] bool computer_name(TextBuffer out);

// The name of the system this build runs on: "Windows", "Linux".
const char* system_name();

}  // namespace plat
