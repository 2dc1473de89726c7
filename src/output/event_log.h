// The event log "loadhawk_log.txt" in the working directory: one entry per
// call, a local timestamp, one space and the message, appended and closed
// at once. Never read, truncated or rotated by the program.
#pragma once

#include "platform/time.h"
#include "text/fixed_text.h"

constexpr const char* kLogFileName = "loadhawk_log.txt";
constexpr std::size_t kTimestampCap = 50;

// "%04d-%02d-%02d %02d:%02d:%02d" of the current local time (19 characters).
void format_timestamp(TextBuffer out);
// The same form of a given time.
void format_timestamp_of(const plat::LocalTime& time, TextBuffer out);

// Appends one entry. The message is written exactly as formatted (it brings
// its own line feed). An unopenable log file loses the entry; a log this
// process may not write is said on standard error, with its owner and the
// fix, when it starts refusing entries and again when it takes them again.
void log_event(const char* fmt, ...) LH_PRINTF(1, 2);
