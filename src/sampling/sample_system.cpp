#include "sampling/sample_system.h"

#include "output/event_log.h"
#include "platform/system.h"
#include "platform/time.h"
#include "sampling/collect_top.h"
#include "sampling/cpu_usage.h"
#include "sampling/cycle_report.h"
#include "sampling/render_top_list.h"

namespace {
constexpr std::uint32_t kCyclePauseMs = 1000;
}  // namespace

void sample_system(CpuReading* previous, Sample* sample) {
    plat::sleep_ms(kCyclePauseMs);
    measure_system(previous, sample);
}

namespace {

// A count that changes every cycle (processes of other accounts come and
// go) is said at most once an hour.
constexpr std::int64_t kUnreadableLogPauseS = 3600;

// Logs the count of processes left out when it differs from the one last
// logged: at once after a cycle that kept the count, else only an hour
// after the last line.
void log_unreadable_count(Sample* sample) {
    if (sample->unreadable_processes == sample->unreadable_logged) return;
    const std::int64_t now = plat::unix_time();
    const std::int64_t since = now - sample->unreadable_logged_at;
    if (sample->unreadable_logged_at != 0 && !sample->unreadable_steady && since >= 0 &&
        since < kUnreadableLogPauseS) {
        return;
    }
    log_event("Processes not readable: %lu (left out of the top lists)\n",
              static_cast<unsigned long>(sample->unreadable_processes));
    sample->unreadable_logged = sample->unreadable_processes;
    sample->unreadable_logged_at = now == 0 ? 1 : now;
}

}  // namespace

void measure_system(CpuReading* previous, Sample* sample, const ProcessSource& processes) {
    CpuReading now{};
    const bool have_cpu = read_cpu(&now);
    sample->cpu_percent = advance_cpu_reading(previous, have_cpu ? &now : nullptr);
    sample->cpu_rounded = round_cpu_percent(sample->cpu_percent);

    plat::MemoryStatus memory{};
    if (plat::memory_status(&memory)) {
        sample->mem_load = static_cast<std::int32_t>(memory.load_percent);
        sample->total_mb = memory.total_bytes >> 20;
        sample->avail_mb = memory.avail_bytes >> 20;
    } else {
        sample->mem_load = 0;
        sample->total_mb = 0;
        sample->avail_mb = 0;
    }

    const std::uint32_t unreadable_before = sample->unreadable_processes;
    const std::uint32_t memory_refused = collect_memory_top(sample->total_mb, &sample->mem_top, processes);
    const std::uint32_t cpu_refused = collect_cpu_time_top(&sample->cpu_top, processes);
    sample->unreadable_processes = memory_refused > cpu_refused ? memory_refused : cpu_refused;
    log_unreadable_count(sample);
    sample->unreadable_steady = sample->unreadable_processes == unreadable_before;
    render_top_list(sample->mem_top, TopKind::memory, sample->mem_top_text.out());
    render_top_list(sample->cpu_top, TopKind::cpu_time, sample->cpu_top_text.out());
    format_timestamp(sample->timestamp.out());

    print_cycle_report(*sample);
}
