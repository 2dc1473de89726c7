#include "sampling/cpu_share.h"

namespace {

constexpr std::size_t kSlotMask = kShareSlots - 1;

std::size_t first_slot(std::uint32_t pid) {
    // Fibonacci hashing: consecutive pids spread over the table
    return static_cast<std::size_t>((pid * 2654435761u) >> 7) & kSlotMask;
}

const ShareSlot* find_slot(const ShareTimes& times, std::uint32_t pid, std::uint64_t start_time) {
    for (std::size_t i = first_slot(pid);; i = (i + 1) & kSlotMask) {
        const ShareSlot& slot = times.slots[i];
        // never full: at most half the slots are used
        if (slot.generation != times.generation) return nullptr;
        if (slot.pid == pid && slot.start_time == start_time) return &slot;
    }
}

void remember(ShareTimes* times, std::uint32_t pid, std::uint64_t start_time, std::uint64_t cpu_time) {
    std::size_t i = first_slot(pid);
    while (times->slots[i].generation == times->generation) i = (i + 1) & kSlotMask;
    times->slots[i] = ShareSlot{pid, times->generation, start_time, cpu_time};
    ++times->count;
}

}  // namespace

void share_cycle_begin(CpuShareTable* table, std::uint64_t clock, std::uint32_t cpus) {
    // last cycle's times become the previous ones; the older ones are emptied
    table->current ^= 1u;
    ShareTimes& now = table->times[table->current];
    ++now.generation;
    now.count = 0;
    table->left_out = 0;
    table->cpus = cpus;
    const bool have_previous = table->previous_clock != 0 && clock > table->previous_clock;
    table->denominator = have_previous ? (clock - table->previous_clock) * cpus : 0;
    table->previous_clock = clock;
}

double share_observe(CpuShareTable* table, std::uint32_t pid, std::uint64_t start_time,
                     std::uint64_t cpu_time) {
    double share = -1.0;
    if (table->denominator != 0) {
        const ShareSlot* before = find_slot(table->times[table->current ^ 1u], pid, start_time);
        if (before != nullptr && cpu_time >= before->cpu_time) {
            share = static_cast<double>(cpu_time - before->cpu_time) * 100.0 /
                    static_cast<double>(table->denominator);
            // the walk and the clock are not read at the same instant
            if (share > 100.0) share = 100.0;
        }
    }
    ShareTimes& now = table->times[table->current];
    if (now.count < kShareRemembered) {
        remember(&now, pid, start_time, cpu_time);
    } else {
        ++table->left_out;
    }
    return share;
}
