// One cycle's sampling work, both walks and both renders, at this machine's
// process count and with extra idle processes that the benchmark starts and
// ends itself (by pid). The per_process counter is the CPU time of one cycle
// divided by the processes walked: flat when the cost grows linearly.
//
// Nearly all of a walk's time is the kernel's (readdir of /proc and one
// open, read and close of /proc/PID/stat per process); its per-process cost
// rises with the count as the kernel's per-process data outgrows the CPU
// caches. BM_ProcStatParse times loadhawk's own per-process work on the
// same texts, read once beforehand: its per_process figure stays flat.
// BM_WholeCycle compares a cycle with and without the metrics file, and
// BM_MetricsFile times that file alone.
//
//   make bench-sampling
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "monitor/metrics_file.h"
#include "monitor/monitor_loop.h"
#include "output/silent_mode.h"
#include "platform/linux/proc_parse.h"
#include "platform/linux/proc_read.h"
#include "platform/process_walk.h"
#include "platform/system.h"
#include "sampling/collect_top.h"
#include "sampling/cpu_usage.h"
#include "sampling/render_top_list.h"
#include "sampling/sample_system.h"

namespace {

// Idle children, each killed and reaped by pid when the set goes.
class IdleProcesses {
public:
    explicit IdleProcesses(std::int64_t count) {
        for (std::int64_t i = 0; i < count; ++i) {
            const pid_t child = fork();
            if (child == 0) {
                prctl(PR_SET_PDEATHSIG, SIGKILL, 0, 0, 0);  // never outlive the benchmark
                prctl(PR_SET_NAME, "lh-bench-idle", 0, 0, 0);
                for (;;) pause();
            }
            if (child > 0) pids_.push_back(child);
        }
    }
    ~IdleProcesses() {
        for (const pid_t pid : pids_) kill(pid, SIGKILL);
        for (const pid_t pid : pids_) waitpid(pid, nullptr, 0);
    }
    IdleProcesses(const IdleProcesses&) = delete;
    IdleProcesses& operator=(const IdleProcesses&) = delete;

private:
    std::vector<pid_t> pids_;
};

double count_processes() {
    double count = 0;
    plat::ProcessWalk walk;
    if (plat::process_walk_begin(&walk, plat::ProcessMeasure::cpu_time)) {
        plat::ProcessEntry entry;
        while (plat::process_walk_next(&walk, &entry)) ++count;
    }
    plat::process_walk_end(&walk);
    return count;
}

void report_processes(benchmark::State& state, double processes) {
    state.counters["processes"] = processes;
    state.counters["per_process"] = benchmark::Counter(
        processes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

Sample g_sample{};

// sample_system without its one-second pause, with the console report off
void BM_SamplingCycle(benchmark::State& state) {
    IdleProcesses extra(state.range(0));
    set_silent_mode(true);
    CpuReading previous{};
    (void)read_cpu(&previous);
    const double processes = count_processes();
    for (auto _ : state) {
        measure_system(&previous, &g_sample);
        benchmark::DoNotOptimize(g_sample);
    }
    report_processes(state, processes);
}

void BM_MemoryWalk(benchmark::State& state) {
    IdleProcesses extra(state.range(0));
    plat::MemoryStatus memory{};
    (void)plat::memory_status(&memory);
    const double processes = count_processes();
    for (auto _ : state) {
        collect_memory_top(memory.total_bytes >> 20, &g_sample.mem_top);
        benchmark::DoNotOptimize(g_sample.mem_top);
    }
    report_processes(state, processes);
}

void BM_CpuTimeWalk(benchmark::State& state) {
    IdleProcesses extra(state.range(0));
    const double processes = count_processes();
    for (auto _ : state) {
        collect_cpu_time_top(&g_sample.cpu_top);
        benchmark::DoNotOptimize(g_sample.cpu_top);
    }
    report_processes(state, processes);
}

// A folder of its own for the metrics file, removed with what it holds.
class MetricsFolder {
public:
    MetricsFolder() {
        if (mkdtemp(folder_) != nullptr) path_ = std::string(folder_) + "/loadhawk.prom";
    }
    ~MetricsFolder() {
        if (path_.empty()) return;
        (void)unlink(path_.c_str());
        (void)rmdir(folder_);
    }
    MetricsFolder(const MetricsFolder&) = delete;
    MetricsFolder& operator=(const MetricsFolder&) = delete;
    const char* path() const { return path_.c_str(); }

private:
    char folder_[32] = "/tmp/loadhawk-bench-XXXXXX";
    std::string path_;
};

// A whole cycle without its pause and sleeps: the sampling, the four
// monitors (switched off, so nothing is logged or sent), the heartbeat
// check and, when the second argument is 1, the metrics file
void BM_WholeCycle(benchmark::State& state) {
    IdleProcesses extra(state.range(0));
    MetricsFolder folder;
    set_silent_mode(true);
    MonitorSettings settings{};
    settings.interval = 60;
    if (state.range(1) != 0) settings.metricsfile.assign(folder.path());
    const NotifySettings notify{};
    StateBetweenCycles cycle{};
    cycle.remembered_day = -1;
    CpuReading previous{};
    (void)read_cpu(&previous);
    finish_sampled_cycle(g_sample, settings, notify, &cycle);  // the heartbeat's day is set
    const double processes = count_processes();
    for (auto _ : state) {
        measure_system(&previous, &g_sample);
        finish_sampled_cycle(g_sample, settings, notify, &cycle);
    }
    if (cycle.metrics.failing) state.SkipWithError("the metrics file could not be written");
    report_processes(state, processes);
}

// The metrics file alone: render the text and replace the file
void BM_MetricsFile(benchmark::State& state) {
    MetricsFolder folder;
    MetricsFigures figures{};
    figures.cpu_percent = 12.5;
    figures.mem_load = 42;
    for (auto _ : state) {
        FixedText<kMetricsTextCap> text;
        const std::size_t size = render_metrics(figures, text.out());
        if (!write_metrics_file(folder.path(), text.c_str(), size)) {
            state.SkipWithError("the metrics file could not be written");
            break;
        }
    }
}

void BM_SystemFigures(benchmark::State& state) {
    for (auto _ : state) {
        CpuReading now{};
        plat::MemoryStatus memory{};
        benchmark::DoNotOptimize(read_cpu(&now));
        benchmark::DoNotOptimize(plat::memory_status(&memory));
    }
}

void BM_RenderBothLists(benchmark::State& state) {
    collect_memory_top(1024, &g_sample.mem_top);
    collect_cpu_time_top(&g_sample.cpu_top);
    for (auto _ : state) {
        render_top_list(g_sample.mem_top, TopKind::memory, g_sample.mem_top_text.out());
        render_top_list(g_sample.cpu_top, TopKind::cpu_time, g_sample.cpu_top_text.out());
        benchmark::DoNotOptimize(g_sample.mem_top_text);
    }
}

// The /proc/PID/stat text of every process, read once.
std::vector<std::string> read_stat_texts() {
    std::vector<std::string> texts;
    plat::ProcessWalk walk;
    if (plat::process_walk_begin(&walk, plat::ProcessMeasure::cpu_time)) {
        plat::ProcessEntry entry;
        while (plat::process_walk_next(&walk, &entry)) {
            char path[64];
            std::snprintf(path, sizeof path, "/proc/%u/stat", entry.pid);
            char text[1024];
            const std::size_t size = plat::read_proc_file(AT_FDCWD, path, text, sizeof text);
            if (size != 0) texts.emplace_back(text, size);
        }
    }
    plat::process_walk_end(&walk);
    return texts;
}

// loadhawk's own part of a walk: parsing every process's stat text
void BM_ProcStatParse(benchmark::State& state) {
    IdleProcesses extra(state.range(0));
    const std::vector<std::string> texts = read_stat_texts();
    for (auto _ : state) {
        for (const std::string& text : texts) {
            plat::ProcStatFields fields{};
            benchmark::DoNotOptimize(plat::parse_proc_stat(text.data(), text.size(), &fields));
            benchmark::DoNotOptimize(fields);
        }
    }
    report_processes(state, static_cast<double>(texts.size()));
}

}  // namespace

BENCHMARK(BM_SamplingCycle)->ArgName("extra")->Arg(0)->Arg(500)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemoryWalk)->ArgName("extra")->Arg(0)->Arg(500)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CpuTimeWalk)->ArgName("extra")->Arg(0)->Arg(500)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcStatParse)->ArgName("extra")->Arg(0)->Arg(500)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WholeCycle)->ArgNames({"extra", "metrics"})->ArgsProduct({{0, 2000}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MetricsFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SystemFigures)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderBothLists)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
