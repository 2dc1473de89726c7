#include "sampling/cpu_usage.h"

#include "platform/system.h"

bool read_cpu(CpuReading* out) {
    *out = CpuReading{};
    plat::SystemTimes times{};
    if (!plat::system_times(&times)) return false;
    out->idle_time = times.idle;
    out->kernel_time = times.kernel;
    out->user_time = times.user;
    return true;
}

double cpu_usage(const CpuReading& previous, const CpuReading& now) {
    // kernel time includes idle time, so total is all time and busy =
    // total - idle. A counter that steps backwards (a reset, a changed
    // processor count) makes the reading meaningless: it is dropped, never
    // turned into a wrapped-around, nearly 2^64 difference. Some systems
    // report an idle delta above the kernel+user delta: an idle machine.
    if (now.kernel_time < previous.kernel_time || now.user_time < previous.user_time ||
        now.idle_time < previous.idle_time) {
        return 0.0;
    }
    const std::uint64_t kernel = now.kernel_time - previous.kernel_time;
    const std::uint64_t user = now.user_time - previous.user_time;
    const std::uint64_t idle = now.idle_time - previous.idle_time;
    // two differences of 64-bit counters may still overflow their sum
    if (kernel > UINT64_MAX - user) return 0.0;
    const std::uint64_t total = kernel + user;
    if (total == 0 || idle >= total) return 0.0;
    const double percent =
        static_cast<double>(total - idle) * 100.0 / static_cast<double>(total);
    return percent > 100.0 ? 100.0 : percent;
}

double advance_cpu_reading(CpuReading* previous, const CpuReading* now) {
    if (previous == nullptr || now == nullptr) return 0.0;
    const double percent = cpu_usage(*previous, *now);
    *previous = *now;
    return percent;
}

std::int32_t round_cpu_percent(double cpu_percent) {
    return static_cast<std::int32_t>(cpu_percent + 0.5);
}
