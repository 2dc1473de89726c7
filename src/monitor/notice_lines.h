// The lines a notice adds after its list: how long the condition has held
// or held, so the reader knows when it began.
#pragma once

#include <cstdint>

#include "monitor/monitor_state.h"
#include "text/fixed_text.h"

// An alert, the recovery notice that ends it, or a reminder of an alert
// that still stands.
enum class NoticeEvent { alert, recovery, reminder };

constexpr std::size_t kHeldLineCap = 128;

// A duration for a reader: "40 s", "25 min", "3 h 5 min", "2 d 4 h";
// a negative one (a clock set back) reads as "0 s".
void format_duration(std::int64_t seconds, TextBuffer out);

// The line of `event` from `state` at `now` (Unix seconds):
//   alert:    "Holding since: 2026-12-08 03:01:12 (3 min)\n"
//   reminder: "Reminder: holding since 2026-12-08 03:01:12, for 63 min\n"
//   recovery: "Began: 2026-12-08 03:01:12, lasted 25 min\n" (until the
//             first cycle without the condition)
// Empty when the state has no beginning (a notice built without one).
void format_held_line(NoticeEvent event, const MonitorState& state, std::int64_t now, TextBuffer out);
