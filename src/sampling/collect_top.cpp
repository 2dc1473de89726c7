#include "sampling/collect_top.h"

#include "sampling/top_list.h"
#include "text/utf8.h"

namespace {

constexpr double k100nsPerSecond = 10000000.0;

// One walk: every process whose measure can be read is offered to the
// list. Returns the processes the walk was refused.
std::uint32_t collect_top(const ProcessSource& source, plat::ProcessMeasure measure,
                          std::uint64_t total_bytes, TopList* list) {
    *list = TopList{};
    plat::ProcessWalk walk;
    if (!source.begin(&walk, measure)) {
        source.end(&walk);
        return 0;
    }
    plat::ProcessEntry entry;
    while (source.next(&walk, &entry)) {
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
        // anyone names a process as they like, and a name cut by the system
        // may end inside a character: the name that enters the list is
        // printable UTF-8 before it reaches the console, the log or a message
        utf8_make_printable(entry.name);
        candidate.name.assign(entry.name);
        if (measure == plat::ProcessMeasure::working_set) candidate.working_set = entry.working_set;
        candidate.value = value;
        insert_top_entry(list, &candidate);
    }
    source.end(&walk);
    return walk.unreadable;
}

}  // namespace

std::uint32_t collect_memory_top(std::uint64_t total_mb, TopList* list, const ProcessSource& source) {
    // total physical memory cut down to whole MB
    return collect_top(source, plat::ProcessMeasure::working_set, total_mb << 20, list);
}

std::uint32_t collect_cpu_time_top(TopList* list, const ProcessSource& source) {
    return collect_top(source, plat::ProcessMeasure::cpu_time, 0, list);
}
