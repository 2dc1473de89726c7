// The keys "-check" has seen in a settings file, and the report of those
// that are missing.
#pragma once

#include <cstddef>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "control/config_check.h"

// hostid, interval, then a threshold and a count per monitor, in the order
// of the monitor table; or one slot per notification key.
constexpr std::size_t kMonitorSlotCount = 2 + 2 * kMonitorCount;
constexpr std::size_t kSeenCap =
    kMonitorSlotCount > kNotifyKeyCount ? kMonitorSlotCount : kNotifyKeyCount;

// Whether the file held a key for each setting.
struct SeenKeys {
    bool slots[kSeenCap];
};

// Marks the setting `key` names in a file of `kind`; nothing for a key the
// file does not use.
void mark_seen_key(const char* key, SettingsFile kind, SeenKeys* seen);

// Prints one line per missing key or incomplete group; false when there
// was any.
bool report_missing_keys(const SeenKeys& seen, SettingsFile kind);
