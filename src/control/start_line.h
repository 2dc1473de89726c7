// The log's first line of a monitor run: what this run watches and where
// it sends, so that the log alone tells which settings were in force.
#pragma once

#include <cstdint>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "text/fixed_text.h"

// "loadhawk 1.0.0 started (pid 4242, interval 60 s, CPU HIGH 85% x5,
// CPU LOW off, MEM HIGH 90% x5, MEM LOW off, heartbeat on, metrics off,
// channels: email, telegram)" and a line feed. The monitors come in the
// order of the cycle; "metrics" names the file when one is written; the
// channels are the labels of those set up, in the order of the channel
// table, or "none".
void format_start_line(const MonitorSettings& monitors, const NotifySettings& notify,
                       std::uint32_t pid, TextBuffer out);
