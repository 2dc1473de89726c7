#include "monitor/metrics_file.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "output/event_log.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/time.h"
#include "platform/transient_files.h"

#ifndef LOADHAWK_VERSION
#error "the build names the version (LOADHAWK_VERSION)"
#endif

namespace {

// Appends formatted pieces and keeps the length, so the text is never
// scanned again; once a piece does not fit, nothing more is added.
class TextAppender {
public:
    explicit TextAppender(TextBuffer out) : out_(out) {
        if (out_.cap > 0) out_.data[0] = '\0';
    }

    void add(const char* fmt, ...) LH_PRINTF(2, 3) {
        if (!fits_ || out_.cap == 0) {
            fits_ = false;
            return;
        }
        va_list args;
        va_start(args, fmt);
        const int n = std::vsnprintf(out_.data + used_, out_.cap - used_, fmt, args);
        va_end(args);
        if (n < 0 || static_cast<std::size_t>(n) >= out_.cap - used_) {
            fits_ = false;
            return;
        }
        used_ += static_cast<std::size_t>(n);
    }

    // The length, or 0 (and an empty text) when something did not fit.
    std::size_t finish() {
        if (fits_) return used_;
        if (out_.cap > 0) out_.data[0] = '\0';
        return 0;
    }

private:
    TextBuffer out_;
    std::size_t used_ = 0;
    bool fits_ = true;
};

void family(TextAppender* text, const char* name, const char* type, const char* help) {
    text->add("# HELP %s %s\n# TYPE %s %s\n", name, help, name, type);
}

// A whole percentage as a ratio, exactly: 85 is "0.85", 101 is "1.01".
void add_percent_ratio(TextAppender* text, const char* series, std::int32_t percent) {
    const std::int64_t p = percent;
    const std::int64_t magnitude = p < 0 ? -p : p;
    text->add("%s %s%" PRId64 ".%02" PRId64 "\n", series, p < 0 ? "-" : "", magnitude / 100,
              magnitude % 100);
}

// The series kept per monitor, one row each: name, help, and the value,
// a whole number or a percentage written as a ratio.
struct MonitorSeries {
    const char* name;
    const char* help;
    bool percent;
    std::int32_t (*value)(const MonitorFigures& monitor);
};

constexpr MonitorSeries kMonitorSeries[] = {
    {"loadhawk_monitor_enabled", "1 when the threshold monitor is switched on.", false,
     [](const MonitorFigures& m) -> std::int32_t { return m.enabled ? 1 : 0; }},
    {"loadhawk_monitor_threshold_ratio", "Threshold of the monitor, 0 to 1 (85% is 0.85).", true,
     [](const MonitorFigures& m) { return m.rule.threshold; }},
    {"loadhawk_monitor_required_cycles",
     "Cycles in a row the condition must hold before the monitor alerts.", false,
     [](const MonitorFigures& m) { return m.rule.count; }},
    {"loadhawk_monitor_consecutive_cycles",
     "Cycles in a row the condition has held since the counter last started from 0.", false,
     [](const MonitorFigures& m) { return m.state.consecutive; }},
    {"loadhawk_monitor_alerted",
     "1 while an alert stands and its recovery notice has not gone out.", false,
     [](const MonitorFigures& m) -> std::int32_t { return m.state.alerted != 0 ? 1 : 0; }},
};

void add_monitor_series(TextAppender* text, const MetricsFigures& f) {
    for (const MonitorSeries& series : kMonitorSeries) {
        family(text, series.name, "gauge", series.help);
        for (std::size_t i = 0; i < kMonitorCount; ++i) {
            FixedText<80> name;
            name.format("%s{monitor=\"%s\"}", series.name, kMonitors[i].label);
            const std::int32_t value = series.value(f.monitors[i]);
            if (series.percent) {
                add_percent_ratio(text, name.c_str(), value);
            } else {
                text->add("%s %d\n", name.c_str(), value);
            }
        }
    }
}

void add_channel_counts(TextAppender* text, const char* channel, const ChannelTally& tally) {
    text->add("loadhawk_notices_total{channel=\"%s\",result=\"sent\"} %" PRIu64 "\n", channel,
              tally.sent);
    text->add("loadhawk_notices_total{channel=\"%s\",result=\"failed\"} %" PRIu64 "\n", channel,
              tally.failed);
}

}  // namespace

std::size_t render_metrics(const MetricsFigures& f, TextBuffer out) {
    TextAppender text(out);
    family(&text, "loadhawk_cpu_usage_ratio", "gauge", "CPU usage of the last cycle, 0 to 1.");
    text.add("loadhawk_cpu_usage_ratio %.4f\n", f.cpu_percent / 100.0);
    family(&text, "loadhawk_memory_load_ratio", "gauge",
           "Physical-memory load of the last cycle, 0 to 1.");
    add_percent_ratio(&text, "loadhawk_memory_load_ratio", f.mem_load);

    add_monitor_series(&text, f);

    family(&text, "loadhawk_notices_total", "counter",
           "Notices handed to a channel since start, by result.");
    add_channel_counts(&text, "email", f.notices.email);
    add_channel_counts(&text, "telegram", f.notices.telegram);
    family(&text, "loadhawk_notice_last_sent_timestamp_seconds", "gauge",
           "Unix time of the last notice the channel sent; 0 before the first.");
    text.add("loadhawk_notice_last_sent_timestamp_seconds{channel=\"email\"} %" PRId64 "\n",
             f.notices.email.last_sent);
    text.add("loadhawk_notice_last_sent_timestamp_seconds{channel=\"telegram\"} %" PRId64 "\n",
             f.notices.telegram.last_sent);

    family(&text, "loadhawk_last_cycle_timestamp_seconds", "gauge",
           "Unix time at which the last cycle completed.");
    text.add("loadhawk_last_cycle_timestamp_seconds %" PRId64 "\n", f.cycle_time);
    family(&text, "loadhawk_start_time_seconds", "gauge",
           "Unix time at which the monitor started.");
    text.add("loadhawk_start_time_seconds %" PRId64 "\n", f.start_time);
    family(&text, "loadhawk_build_info", "gauge",
           "Always 1; the version of loadhawk as a label.");
    text.add("loadhawk_build_info{version=\"%s\"} 1\n", LOADHAWK_VERSION);
    return text.finish();
}

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
