#include "control/pid_file.h"

#include <cstdio>

#include "output/refused_file.h"
#include "platform/files.h"
#include "platform/time.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// said once: reading and writing the file meet the same refusal
void report_refusal(plat::FileRefusal why) {
    static bool said = false;
    say_refused_file(kPidFileName, why, RefusalLine::always, &said);
}

}  // namespace

const MonitorProbe kSystemProbe{plat::check_process, plat::file_lock_probe, plat::terminate_process,
                                plat::sleep_ms};

std::uint64_t parse_pid_text(const char* text) {
    if (text == nullptr) return 0;
    const char* p = text;
    while (is_blank(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    if (!is_digit(*p)) return 0;
    std::uint64_t value = 0;
    for (; is_digit(*p); ++p) {
        const std::uint64_t digit = static_cast<std::uint64_t>(*p - '0');
        if (value > (UINT64_MAX - digit) / 10) return UINT64_MAX;
        value = value * 10 + digit;
    }
    return negative && value != 0 ? UINT64_MAX : value;
}

std::uint64_t recorded_pid() {
    plat::FileRefusal why = plat::FileRefusal::none;
    std::FILE* file = plat::open_kept_file(kPidFileName, plat::KeptFileMode::read, &why);
    if (file == nullptr) {
        report_refusal(why);
        return 0;
    }
    // the file is one short line; the first number is all that counts
    char text[128] = {};
    const std::size_t got = std::fread(text, 1, sizeof text - 1, file);
    std::fclose(file);
    text[got] = '\0';
    return parse_pid_text(text);
}

MonitorPresence monitor_presence(std::uint64_t pid, const MonitorProbe& probe) {
    if (pid == 0 || pid > UINT32_MAX || pid == plat::own_pid()) return MonitorPresence::stale;
    // a run lock that nobody holds: no monitor works in this directory
    if (probe.run_lock(kRunLockFile) == plat::LockProbe::free) return MonitorPresence::stale;
    switch (probe.check(static_cast<std::uint32_t>(pid))) {
        case plat::ProcessCheck::denied:
            return MonitorPresence::foreign;
        case plat::ProcessCheck::same_program:
            return MonitorPresence::running;
        case plat::ProcessCheck::gone:
        case plat::ProcessCheck::other_program:
        case plat::ProcessCheck::elsewhere:
            break;
    }
    return MonitorPresence::stale;
}

bool write_pid_file() {
    plat::FileRefusal why = plat::FileRefusal::none;
    std::FILE* file = plat::open_kept_file(kPidFileName, plat::KeptFileMode::rewrite, &why);
    if (file == nullptr) {
        report_refusal(why);
        // a pid file of another owner, or a folder we may not write in
        if (why == plat::FileRefusal::failed) say_unwritable_file(kPidFileName);
        return false;
    }
    const bool written = std::fprintf(file, "%lu\n", static_cast<unsigned long>(plat::own_pid())) > 0;
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    // a pid file without its number would guard nothing
    (void)plat::delete_file(kPidFileName);
    return false;
}

void remove_pid_file() {
    // a pid file that names another monitor by now is that one's
    if (recorded_pid() == plat::own_pid()) (void)plat::delete_file(kPidFileName);
}
