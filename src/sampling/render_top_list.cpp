#include "sampling/render_top_list.h"

#include <cstring>

void render_top_list(const TopList& list, TopKind kind, TextBuffer text) {
    if (text.data == nullptr || text.cap == 0) return;
    text.data[0] = '\0';
    std::size_t running = 0;
    for (std::size_t i = 0; i < kTopRows; ++i) {
        const TopEntry& row = list.rows[i];
        if (row.pid <= 0) continue;
        // names are made printable where they enter the list
        const char* name = row.name.empty() ? "?" : row.name.c_str();
        const int number = static_cast<int>(i + 1);
        char line[kTopLineCap];
        const TextBuffer line_out{line, sizeof line};
        const std::size_t length =
            kind == TopKind::memory
                ? text_format(line_out, "TOP%d- PID: %d %%MEM: %.1f COMMAND: %s\n", number, row.pid,
                              row.value, name)
                : text_format(line_out, "TOP%d- PID: %d CPU_TIME: %.1f sec COMMAND: %s\n", number,
                              row.pid, row.value, name);
        if (running + length + 1 >= text.cap) break;
        std::memcpy(text.data + running, line, length + 1);
        running += length;
    }
    if (running == 0) {
        if (kind == TopKind::memory) {
            text_format(text, "TOP1- PID: 0 %%MEM: 0.0 COMMAND: ?\n");
        } else {
            text_format(text, "TOP1- PID: 0 CPU_TIME: 0.0 sec COMMAND: ?\n");
        }
    }
}
