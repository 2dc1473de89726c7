#include "monitor/metrics_file.h"

#include <cstdio>

#include "output/event_log.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/time.h"
#include "platform/transient_files.h"

bool metrics_temp_name(const char* path, TextBuffer out) {
    if (out.cap == 0) return false;
    out.data[0] = '\0';
    if (path == nullptr || path[0] == '\0') return false;
    // snprintf tells the whole length, so a name that fits exactly is told
    // apart from one that was cut
    const int n = std::snprintf(out.data, out.cap, "%s.%lu.tmp", path,
                                static_cast<unsigned long>(plat::own_pid()));
    return n >= 0 && static_cast<std::size_t>(n) < out.cap;
}

bool write_metrics_file(const char* path, const char* text, std::size_t size) {
    FixedText<plat::kTransientPathCap> temp;
    if (!metrics_temp_name(path, temp.out())) return false;
    // the exporter runs as a user of its own
    if (!plat::write_transient_file(temp.c_str(), text, size, plat::FileAccess::readable_by_all)) {
        return false;
    }
    if (!plat::rename_file(temp.c_str(), path)) {
        plat::remove_transient_file(temp.c_str());
        return false;
    }
    plat::release_transient_file(temp.c_str());
    return true;
}

bool metrics_folder_writable(const char* path) {
    FixedText<plat::kTransientPathCap> temp;
    if (!metrics_temp_name(path, temp.out())) return false;
    const bool written =
        plat::write_transient_file(temp.c_str(), "", 0, plat::FileAccess::readable_by_all);
    if (written) plat::remove_transient_file(temp.c_str());
    return written;
}

void publish_metrics(const Sample& sample, const MonitorSettings& settings,
                     const MonitorState* states, MetricsOutput* output) {
    const char* path = settings.metricsfile.c_str();
    if (path[0] == '\0') return;
    MetricsFigures figures{};
    figures.cpu_percent = sample.cpu_percent;
    figures.mem_load = sample.mem_load;
    for (std::size_t i = 0; i < kMonitorCount; ++i) {
        const MonitorEntry& m = kMonitors[i];
        figures.monitors[i] = MonitorFigures{settings.*m.enabled, settings.*m.rule, states[i]};
    }
    figures.notices = notice_tally();
    figures.start_time = output->start_time;
    figures.cycle_time = plat::unix_time();

    FixedText<kMetricsTextCap> text;
    const std::size_t size = render_metrics(figures, text.out());
    const bool written = size > 0 && write_metrics_file(path, text.c_str(), size);
    if (written == !output->failing) return;
    output->failing = !written;
    if (written) {
        log_event("Metrics file %s written again\n", path);
    } else {
        log_event("Metrics file %s cannot be written\n", path);
    }
}
