// The system's process information of Windows (one record per process,
// chained by byte offsets) read into one buffer that is reserved once and
// grown only when the system asks for more. Plain code over plain bytes, so
// both builds compile it and its tests run anywhere; the Windows backend
// hands it the query and the page allocator. Included only inside
// src/platform/.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/process_walk.h"

namespace plat {

// The x64 layout of one process record (SYSTEM_PROCESS_INFORMATION); the
// Windows backend checks every offset against the system's own header.
struct ProcessRecord {
    std::uint32_t next_offset;  // bytes to the next record; 0 on the last
    std::uint32_t thread_count;
    std::int64_t reserved[3];
    std::int64_t create_time;  // 100-ns units since 1601 UTC
    std::int64_t user_time;    // 100-ns units
    std::int64_t kernel_time;  // 100-ns units
    std::uint16_t name_bytes;  // UTF-16 image name: its length in bytes
    std::uint16_t name_capacity;
    const char16_t* name;
    std::int32_t base_priority;
    std::uint64_t pid;
    std::uint64_t parent_pid;
    std::uint32_t handle_count;
    std::uint32_t session_id;
    std::uint64_t page_directory_base;
    std::uint64_t peak_virtual_size;
    std::uint64_t virtual_size;
    std::uint32_t page_fault_count;
    std::uint64_t peak_working_set;
    std::uint64_t working_set;  // bytes
};

enum class QueryAnswer { filled, needs_more, failed };

// What the table needs of the system: the query into `capacity` bytes
// (sets *needed when it answers needs_more, may be 0 when asked with no
// buffer) and pages to hold it.
struct ProcessQueryOps {
    QueryAnswer (*query)(void* buffer, std::size_t capacity, std::size_t* needed);
    void* (*reserve)(std::size_t bytes);
    void (*release)(void* pages, std::size_t bytes);
};

// The one buffer of all walks; it stays between them.
struct ProcessTable {
    void* pages;
    std::size_t capacity;
};

// Fills the table with a fresh copy of the system's process information:
// the buffer is kept from the last call, and replaced by a larger one only
// when the query asks for more (a few attempts, as processes start
// meanwhile). False when the query fails or no larger buffer can be had;
// the old buffer is kept then for the next cycle.
[[nodiscard]] bool process_table_fill(ProcessTable* table, const ProcessQueryOps& ops);

// The record at *offset (moved on to the next one, *done set after the
// last) as a walk entry of the given measure; false at the end, or for the
// idle process (pid 0), which stands for the idle time.
enum class RecordStep { entry, skip, end };
[[nodiscard]] RecordStep process_table_step(const ProcessTable& table, std::size_t* offset, bool* done,
                                            ProcessMeasure measure, ProcessEntry* out);

}  // namespace plat
