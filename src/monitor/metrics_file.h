// The metrics file for Prometheus' textfile collectors (the node exporter,
// the Windows exporter): the cycle's figures, the four monitors' settings
// and states, the notices handed to the senders since start and the times
// of start and of the last cycle, in the text exposition format. It is
// replaced in one step every cycle, so an exporter never reads half a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "config/monitor_settings.h"
#include "monitor/monitor_state.h"
#include "monitor/notice.h"
#include "sampling/sample.h"
#include "text/fixed_text.h"

// Room for the whole text; what is written stays under 4 KB.
constexpr std::size_t kMetricsTextCap = 8192;

// One monitor as the file shows it.
struct MonitorFigures {
    bool enabled;
    MonitorRule rule;
    MonitorState state;
};

// Everything one file shows, gathered at the end of a cycle.
struct MetricsFigures {
    double cpu_percent;
    std::int32_t mem_load;
    MonitorFigures monitors[kMonitorCount];  // in the order of kMonitors
    NoticeTally notices;
    std::int64_t start_time;  // Unix seconds
    std::int64_t cycle_time;  // Unix seconds at which the cycle completed
};
static_assert(std::is_trivially_copyable_v<MetricsFigures>);

// The text of `figures` in `out`; its length, or 0 when it does not fit (a
// cut text is never written).
std::size_t render_metrics(const MetricsFigures& figures, TextBuffer out);

// The name of the temporary copy: "<path>.<pid>.tmp", in the same folder
// as the file (the rename stays on one file system), apart for every
// monitor that points at the same file, and skipped by the exporters,
// which read only names ending in ".prom". False when it does not fit.
bool metrics_temp_name(const char* path, TextBuffer out);

// Writes `size` bytes of `text` to the temporary copy and renames it onto
// `path`. On failure the copy is removed and the file stays as it was.
bool write_metrics_file(const char* path, const char* text, std::size_t size);

// Whether the file's folder takes the temporary copy: "-check" writes an
// empty one and removes it again.
bool metrics_folder_writable(const char* path);

// What the writer keeps from cycle to cycle.
struct MetricsOutput {
    std::int64_t start_time;  // Unix seconds at which the monitor started
    bool failing;             // the last write failed (and that was logged)
};
static_assert(std::is_trivially_copyable_v<MetricsOutput>);

// The file of one cycle: gathers the figures, renders and writes them to
// the `metricsfile` of `settings`, nothing when it is empty. A write that
// fails after one that worked (or first of all) is logged once, and so is
// the first that works again; the monitor goes on either way.
void publish_metrics(const Sample& sample, const MonitorSettings& settings,
                     const MonitorState* states, MetricsOutput* output);
