// The Windows process information: one buffer for the life of the program,
// and the records of one query read out of it.
#include "platform/process_table.h"

#include "text/fixed_text.h"

namespace plat {

namespace {

// processes and threads started between asking the size and the query
constexpr std::size_t kTableSlack = 64 * 1024;
constexpr int kTableAttempts = 4;

bool grow(ProcessTable* table, const ProcessQueryOps& ops, std::size_t needed) {
    const std::size_t capacity = needed + needed / 4 + kTableSlack;
    void* pages = ops.reserve(capacity);
    if (pages == nullptr) return false;
    if (table->pages != nullptr) ops.release(table->pages, table->capacity);
    table->pages = pages;
    table->capacity = capacity;
    return true;
}

}  // namespace

bool process_table_fill(ProcessTable* table, const ProcessQueryOps& ops) {
    if (table->pages == nullptr) {
        std::size_t needed = 0;
        (void)ops.query(nullptr, 0, &needed);
        if (!grow(table, ops, needed)) return false;
    }
    for (int attempt = 0; attempt < kTableAttempts; ++attempt) {
        std::size_t needed = 0;
        switch (ops.query(table->pages, table->capacity, &needed)) {
            case QueryAnswer::filled:
                return true;
            case QueryAnswer::failed:
                return false;
            case QueryAnswer::needs_more:
                if (!grow(table, ops, needed > table->capacity ? needed : table->capacity)) return false;
                break;
        }
    }
    return false;
}

RecordStep process_table_step(const ProcessTable& table, std::size_t* offset, bool* done, ProcessMeasure measure,
                              ProcessEntry* out) {
    if (*done || table.pages == nullptr || *offset + sizeof(ProcessRecord) > table.capacity) return RecordStep::end;
    const auto* record =
        reinterpret_cast<const ProcessRecord*>(static_cast<const unsigned char*>(table.pages) + *offset);
    if (record->next_offset == 0) *done = true;
    *offset += record->next_offset;
    if (record->pid == 0) return RecordStep::skip;
    out->pid = static_cast<std::uint32_t>(record->pid);
    out->start_time = static_cast<std::uint64_t>(record->create_time);
    if (measure == ProcessMeasure::working_set) {
        out->working_set = record->working_set;
    } else {
        out->cpu_time = static_cast<std::uint64_t>(record->kernel_time) + static_cast<std::uint64_t>(record->user_time);
    }
    text_copy_utf16(TextBuffer{out->name, sizeof out->name}, record->name, record->name_bytes / sizeof(char16_t));
    return RecordStep::entry;
}

}  // namespace plat
