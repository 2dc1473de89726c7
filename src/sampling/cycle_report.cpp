#include "sampling/cycle_report.h"

#include "output/console.h"

void print_cycle_report(const Sample& sample) {
    console_note("%s\n\n", sample.timestamp.c_str());
    console_note("CPU Usage: %.1f%%\n", sample.cpu_percent);
    console_note("%s\n", sample.cpu_top_text.c_str());
    console_note("MEM Usage: %d%% (total %llu MB, avail %llu MB)\n", sample.mem_load,
                static_cast<unsigned long long>(sample.total_mb),
                static_cast<unsigned long long>(sample.avail_mb));
    console_note("%s\n", sample.mem_top_text.c_str());
}
