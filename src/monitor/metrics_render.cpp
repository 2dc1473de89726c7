#include "monitor/metrics_file.h"

#include <cinttypes>

#include "text/text_cursor.h"

#ifndef LOADHAWK_VERSION
#error "the build names the version (LOADHAWK_VERSION)"
#endif

namespace {

void family(TextCursor* text, const char* name, const char* type, const char* help) {
    text->add("# HELP %s %s\n# TYPE %s %s\n", name, help, name, type);
}

// A whole percentage as a ratio, exactly: 85 is "0.85", 101 is "1.01".
void add_percent_ratio(TextCursor* text, const char* series, std::int32_t percent) {
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
    std::int64_t (*value)(const MonitorFigures& monitor);
};

constexpr MonitorSeries kMonitorSeries[] = {
    {"loadhawk_monitor_enabled", "1 when the threshold monitor is switched on.", false,
     [](const MonitorFigures& m) -> std::int64_t { return m.enabled ? 1 : 0; }},
    {"loadhawk_monitor_threshold_ratio", "Threshold of the monitor, 0 to 1 (85% is 0.85).", true,
     [](const MonitorFigures& m) -> std::int64_t { return m.rule.threshold; }},
    {"loadhawk_monitor_required_cycles",
     "Cycles in a row the condition must hold before the monitor alerts.", false,
     [](const MonitorFigures& m) -> std::int64_t { return m.rule.count; }},
    {"loadhawk_monitor_consecutive_cycles",
     "Cycles in a row the condition has held since the counter last started from 0.", false,
     [](const MonitorFigures& m) -> std::int64_t { return m.state.consecutive; }},
    {"loadhawk_monitor_alerted",
     "1 while an alert stands and its recovery notice has not gone out.", false,
     [](const MonitorFigures& m) -> std::int64_t { return m.state.alerted != 0 ? 1 : 0; }},
    {"loadhawk_monitor_alert_start_timestamp_seconds",
     "Unix time of the first counted cycle of the standing alert; 0 while none stands.", false,
     [](const MonitorFigures& m) -> std::int64_t { return m.state.alerted ? m.state.began_at : 0; }},
};

void add_monitor_series(TextCursor* text, const MetricsFigures& f) {
    for (const MonitorSeries& series : kMonitorSeries) {
        family(text, series.name, "gauge", series.help);
        for (std::size_t i = 0; i < kMonitorCount; ++i) {
            FixedText<80> name;
            name.format("%s{monitor=\"%s\"}", series.name, kMonitors[i].label);
            const std::int64_t value = series.value(f.monitors[i]);
            if (series.percent) {
                add_percent_ratio(text, name.c_str(), static_cast<std::int32_t>(value));
            } else {
                text->add("%s %" PRId64 "\n", name.c_str(), value);
            }
        }
    }
}

void add_channel_counts(TextCursor* text, const char* channel, const ChannelTally& tally) {
    text->add("loadhawk_notices_total{channel=\"%s\",result=\"sent\"} %" PRIu64 "\n", channel,
              tally.sent);
    text->add("loadhawk_notices_total{channel=\"%s\",result=\"failed\"} %" PRIu64 "\n", channel,
              tally.failed);
}

}  // namespace

std::size_t render_metrics(const MetricsFigures& f, TextBuffer out) {
    TextCursor text = TextCursor::fresh(out, TextCursor::Fit::whole);
    family(&text, "loadhawk_cpu_usage_ratio", "gauge", "CPU usage of the last cycle, 0 to 1.");
    text.add("loadhawk_cpu_usage_ratio %.4f\n", f.cpu_percent / 100.0);
    family(&text, "loadhawk_memory_load_ratio", "gauge",
           "Physical-memory load of the last cycle, 0 to 1.");
    add_percent_ratio(&text, "loadhawk_memory_load_ratio", f.mem_load);

    add_monitor_series(&text, f);

    family(&text, "loadhawk_notices_total", "counter",
           "Notices handed to a channel since start, by result.");
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        add_channel_counts(&text, kChannels[i]->label, f.notices.channels[i]);
    }
    family(&text, "loadhawk_notice_last_sent_timestamp_seconds", "gauge",
           "Unix time of the last notice the channel sent; 0 before the first.");
    for (std::size_t i = 0; i < kChannelCount; ++i) {
        text.add("loadhawk_notice_last_sent_timestamp_seconds{channel=\"%s\"} %" PRId64 "\n",
                 kChannels[i]->label, f.notices.channels[i].last_sent);
    }

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

