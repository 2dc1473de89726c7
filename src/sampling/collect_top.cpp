#include "sampling/collect_top.h"

#include "platform/platform.h"
#include "sampling/top_list.h"

namespace {

constexpr double k100nsPerSecond = 10000000.0;

// One walk: every process whose measure can be read is offered to the list.
void collect_top(plat::ProcessMeasure measure, std::uint64_t total_bytes, TopList* list) {
    *list = TopList{};
    plat::ProcessWalk walk;
    if (!plat::process_walk_begin(&walk, measure)) {
        plat::process_walk_end(&walk);
        return;
    }
    plat::ProcessEntry entry;
    while (plat::process_walk_next(&walk, &entry)) {
        double value = 0.0;
        if (measure == plat::ProcessMeasure::working_set) {
            value = total_bytes != 0 ? static_cast<double>(entry.working_set) * 100.0 /
                                           static_cast<double>(total_bytes)
                                     : 0.0;
        } else {
            // the seconds of CPU the process has used since it started
            value = static_cast<double>(entry.cpu_time) / k100nsPerSecond;
        }
        // most processes of a walk end here, before their row is built
        if (!top_value_would_enter(*list, value)) continue;
        TopEntry candidate{};
        candidate.pid = static_cast<std::int32_t>(entry.pid);
        candidate.name.assign(entry.name);
        if (measure == plat::ProcessMeasure::working_set) candidate.working_set = entry.working_set;
        candidate.value = value;
        insert_top_entry(list, &candidate);
    }
    plat::process_walk_end(&walk);
}

}  // namespace

void collect_memory_top(std::uint64_t total_mb, TopList* list) {
    // total physical memory cut down to whole MB
    collect_top(plat::ProcessMeasure::working_set, total_mb << 20, list);
}

void collect_cpu_time_top(TopList* list) { collect_top(plat::ProcessMeasure::cpu_time, 0, list); }
