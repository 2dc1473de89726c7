// Parsers of the three /proc texts the Linux sampler reads. Pure functions
// over bytes already read, so they test without a running system.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

// What loadhawk reads of one /proc/PID/stat line.
struct ProcStatFields {
    const char* name;         // the comm, pointing into the parsed bytes (not terminated)
    std::size_t name_length;
    std::uint64_t utime;      // (14) clock ticks
    std::uint64_t stime;      // (15) clock ticks
    std::uint64_t starttime;  // (22) clock ticks after boot
    std::uint64_t rss_pages;  // (24) resident pages
};

// "PID (comm) S ppid ...": the comm is the text between the first '(' and
// the last ')', since a comm may itself hold blanks and parentheses; the
// numbered fields are counted from the last ')'. False when the text is cut
// before field 24 or is not of that form.
[[nodiscard]] bool parse_proc_stat(const char* data, std::size_t size, ProcStatFields* out);

// The first line of /proc/stat,
// "cpu  user nice system idle iowait irq softirq steal guest guest_nice",
// in clock ticks. Fields that an older kernel does not write count as 0;
// user, nice, system and idle must be there.
struct CpuLineTicks {
    std::uint64_t user, nice, system, idle, iowait, irq, softirq, steal;
};
[[nodiscard]] bool parse_cpu_line(const char* data, std::size_t size, CpuLineTicks* out);

// MemTotal and MemAvailable of /proc/meminfo, in bytes. False when either
// is missing or MemTotal is 0.
struct MemInfoBytes {
    std::uint64_t total;
    std::uint64_t available;
};
[[nodiscard]] bool parse_meminfo(const char* data, std::size_t size, MemInfoBytes* out);

}  // namespace plat
