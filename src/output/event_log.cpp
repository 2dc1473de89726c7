#include "output/event_log.h"

#include <cstdarg>
#include <cstdio>

#include "output/console.h"
#include "output/refused_file.h"
#include "platform/files.h"
#include "platform/locks.h"

namespace {
// held while one entry is written; created before main runs
plat::Lock g_event_log_lock;

// A log that is refused (a FIFO, a link of another user) is said once on
// the console, unless silent; its entries are lost as for any log that
// cannot be opened.
bool g_refusal_said = false;

// A log this process may not write is said on standard error when it
// starts refusing entries and again when it takes them again: once per
// change, not once per lost entry.
bool g_log_denied = false;
}  // namespace

void format_timestamp_of(const plat::LocalTime& time, TextBuffer out) {
    text_format(out, "%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day, time.hour,
                time.minute, time.second);
}

void format_timestamp(TextBuffer out) {
    plat::LocalTime now{};
    plat::local_time(&now);
    format_timestamp_of(now, out);
}

void log_event(const char* fmt, ...) {
    // text mode: the log uses the platform's own line ends
    plat::FileRefusal why = plat::FileRefusal::none;
    std::FILE* file = plat::open_kept_file(kLogFileName, plat::KeptFileMode::append, &why);
    if (file == nullptr) {
        say_refused_file(kLogFileName, why, RefusalLine::note, &g_refusal_said);
        if (why == plat::FileRefusal::failed && !g_log_denied) {
            g_log_denied = true;
            say_unwritable_file(kLogFileName);
        }
        return;
    }
    if (g_log_denied) {
        g_log_denied = false;
        console_err("%s written again\n", kLogFileName);
    }
    FixedText<kTimestampCap> stamp;
    format_timestamp(stamp.out());
    {
        plat::LockGuard hold(g_event_log_lock);
        std::fprintf(file, "%s ", stamp.c_str());
        va_list args;
        va_start(args, fmt);
        std::vfprintf(file, fmt, args);
        va_end(args);
        std::fclose(file);
    }
}
