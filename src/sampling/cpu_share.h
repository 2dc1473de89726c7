// Each process's share of all CPUs since the previous cycle: the CPU time
// it used since then over the time that passed times the logical CPUs.
// The previous cycle's times are kept in a fixed table keyed by pid and
// start time, so a pid taken by a new process starts with no share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Processes remembered from one cycle to the next. A process walked after
// the table holds this many gets no share in the next cycle (it is still
// counted in `left_out`); the share of every other process stays exact.
constexpr std::size_t kShareRemembered = 4096;
// Open addressing with linear probing, at most half full: short probes.
constexpr std::size_t kShareSlots = 2 * kShareRemembered;
static_assert((kShareSlots & (kShareSlots - 1)) == 0, "a power of two");

struct ShareSlot {
    std::uint32_t pid;
    std::uint32_t generation;  // the slot is used when it equals its table's
    std::uint64_t start_time;
    std::uint64_t cpu_time;
};

// One cycle's times. Raising `generation` empties it without a clear.
struct ShareTimes {
    ShareSlot slots[kShareSlots];
    std::uint32_t generation;
    std::uint32_t count;
};

// Two cycles' times, used in turn: 2 x 8192 slots of 24 bytes, 384 KiB.
struct CpuShareTable {
    ShareTimes times[2];
    std::uint32_t current;          // this cycle's times; the other are the previous cycle's
    std::uint64_t previous_clock;   // monotonic 100-ns units of the previous cycle; 0: none
    std::uint64_t denominator;      // elapsed time x logical CPUs; 0: no share this cycle
    std::uint32_t cpus;
    std::uint32_t left_out;         // processes of this cycle beyond kShareRemembered
};
static_assert(std::is_trivially_copyable_v<CpuShareTable>);

// Starts a cycle whose walk reads the processes at `clock` (a monotonic
// clock in 100-ns units) on `cpus` logical CPUs. The first cycle, and one
// whose clock is unreadable (0) or did not advance, has no shares.
void share_cycle_begin(CpuShareTable* table, std::uint64_t clock, std::uint32_t cpus);

// Whether this cycle computes shares.
inline bool share_measured(const CpuShareTable& table) { return table.denominator != 0; }

// Records one process of this cycle's walk and returns its share of all
// CPUs since the previous cycle in percent (0.0 to 100.0), or -1.0 when it
// has none: no previous cycle, a process not seen then (new, or its pid
// used again: another start time), or not remembered.
double share_observe(CpuShareTable* table, std::uint32_t pid, std::uint64_t start_time,
                     std::uint64_t cpu_time);
