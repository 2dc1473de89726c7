#include "platform/linux/proc_parse.h"

#include <cstring>

namespace plat {

namespace {

// Reads one unsigned decimal at *cursor (after any blanks), advancing the
// cursor past it. A leading '-' (a signed field) reads as 0. False when no
// digit follows. Inlined: the walks call it 21 times for every process.
[[gnu::always_inline]] inline bool next_number(const char** cursor, const char* end,
                                               std::uint64_t* value) {
    const char* p = *cursor;
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    const char* const first = p;
    std::uint64_t number = 0;
    for (; p < end; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
        if (digit > 9) break;
        number = number * 10 + digit;
    }
    if (p == first) return false;
    *cursor = p;
    *value = negative ? 0 : number;
    return true;
}

// Skips one blank-separated field of any content.
bool skip_field(const char** cursor, const char* end) {
    const char* p = *cursor;
    while (p < end && *p == ' ') ++p;
    if (p == end || *p == '\n') return false;
    while (p < end && *p != ' ' && *p != '\n') ++p;
    *cursor = p;
    return true;
}

}  // namespace

bool parse_proc_stat(const char* data, std::size_t size, ProcStatFields* out) {
    *out = ProcStatFields{};
    if (data == nullptr || size == 0) return false;
    const char* end = data + size;
    const void* open_found = std::memchr(data, '(', size);
    const void* close_found = memrchr(data, ')', size);
    if (open_found == nullptr || close_found == nullptr) return false;
    const char* open = static_cast<const char*>(open_found);
    const char* close = static_cast<const char*>(close_found);
    if (close < open) return false;

    // fields after the comm: (3) state, (4) ppid ... (14) utime, (15) stime ... (22) starttime ... (24) rss
    const char* p = close + 1;
    if (!skip_field(&p, end)) return false;  // (3) state
    std::uint64_t field = 0;
    std::uint64_t utime = 0;
    std::uint64_t stime = 0;
    std::uint64_t starttime = 0;
    for (int index = 4; index <= 24; ++index) {
        if (!next_number(&p, end, &field)) return false;
        if (index == 14) utime = field;
        if (index == 15) stime = field;
        if (index == 22) starttime = field;
    }
    out->name = open + 1;
    out->name_length = static_cast<std::size_t>(close - open - 1);
    out->utime = utime;
    out->stime = stime;
    out->starttime = starttime;
    out->rss_pages = field;
    return true;
}

bool parse_cpu_line(const char* data, std::size_t size, CpuLineTicks* out) {
    *out = CpuLineTicks{};
    if (data == nullptr || size < 4 || std::memcmp(data, "cpu ", 4) != 0) return false;
    const void* line_end = std::memchr(data, '\n', size);
    const char* end = line_end != nullptr ? static_cast<const char*>(line_end) : data + size;
    const char* p = data + 4;
    std::uint64_t* const fields[] = {&out->user, &out->nice,   &out->system,  &out->idle,
                                     &out->iowait, &out->irq, &out->softirq, &out->steal};
    int read = 0;
    for (std::uint64_t* target : fields) {
        if (!next_number(&p, end, target)) break;
        ++read;
    }
    if (read < 4) {
        *out = CpuLineTicks{};
        return false;
    }
    return true;
}

namespace {

// The value of "Key:   1234 kB" in kB, searched for at line starts.
bool meminfo_value(const char* data, std::size_t size, const char* key, std::uint64_t* kilobytes) {
    const std::size_t key_length = std::strlen(key);
    const char* end = data + size;
    const char* line = data;
    while (line < end) {
        const std::size_t left = static_cast<std::size_t>(end - line);
        if (left > key_length && std::memcmp(line, key, key_length) == 0 && line[key_length] == ':') {
            const char* p = line + key_length + 1;
            return next_number(&p, end, kilobytes);
        }
        const void* newline = std::memchr(line, '\n', left);
        if (newline == nullptr) break;
        line = static_cast<const char*>(newline) + 1;
    }
    return false;
}

}  // namespace

bool parse_meminfo(const char* data, std::size_t size, MemInfoBytes* out) {
    *out = MemInfoBytes{};
    if (data == nullptr) return false;
    std::uint64_t total_kb = 0;
    std::uint64_t available_kb = 0;
    if (!meminfo_value(data, size, "MemTotal", &total_kb) || total_kb == 0) return false;
    if (!meminfo_value(data, size, "MemAvailable", &available_kb)) return false;
    out->total = total_kb * 1024;
    out->available = available_kb * 1024;
    return true;
}

}  // namespace plat
