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

// Whether the file held a key for each setting: on an active line (slots),
// or on any line, switched-off ones included (written).
struct SeenKeys {
    bool slots[kSeenCap];
    bool written[kSeenCap];
};

// Marks the setting `key` names in a file of `kind`, on an active line or
// a switched-off one (`disabled`); nothing for a key the file does not use.
void mark_seen_key(const char* key, SettingsFile kind, bool disabled, SeenKeys* seen);

// Prints one line per missing key or incomplete group; false when there
// was any. Then warns of each optional monitor that is on only because
// the file has no line of it.
bool report_missing_keys(const SeenKeys& seen, SettingsFile kind);

// Whether `key` is one the loader of a file of `kind` reads; prints why
// not on line `line_number`: the key of the other file, or an unknown key
// with the nearest known one.
bool key_is_known(const char* key, SettingsFile kind, int line_number);
