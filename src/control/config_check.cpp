#include "control/config_check.h"

#include <cstdio>
#include <cstring>

#include "config/config_line.h"
#include "config/line_reader.h"
#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "config/value_rules.h"
#include "control/curl_check.h"
#include "monitor/metrics_file.h"
#include "output/banner.h"
#include "output/console.h"
#include "platform/command.h"
#include "platform/files.h"

namespace {

constexpr std::size_t kLineCap = 1024;

// Which settings the monitor file's keys name: hostid, interval, then a
// threshold and a count per monitor, in the order of the monitor table.
constexpr std::size_t kMonitorSlotCount = 2 + 2 * kMonitorCount;
constexpr std::size_t kSeenCap =
    kMonitorSlotCount > kNotifyKeyCount ? kMonitorSlotCount : kNotifyKeyCount;

std::size_t monitor_slot(const MonitorKeyTarget& target) {
    const std::size_t monitor = static_cast<std::size_t>(target.monitor);
    switch (target.field) {
        case MonitorField::hostid:
            return 0;
        case MonitorField::interval:
            return 1;
        case MonitorField::threshold:
            return 2 + 2 * monitor;
        case MonitorField::count:
            return 3 + 2 * monitor;
        case MonitorField::none:
        case MonitorField::metricsfile:
            break;
    }
    return kSeenCap;
}

// The slot `key` marks as present in `file`, kSeenCap for none.
std::size_t seen_slot(const char* key, SettingsFile file) {
    if (file == SettingsFile::monitor) {
        const MonitorKeyTarget target = monitor_key_target(key);
        return target.field == MonitorField::none ? kSeenCap : monitor_slot(target);
    }
    const NotifyKey id = notify_key_of(key);
    return id == NotifyKey::none ? kSeenCap : static_cast<std::size_t>(id);
}

// Whether the file held a key for the setting.
struct SeenKeys {
    bool slots[kSeenCap];
    bool monitor(MonitorField field, MonitorKind kind) const {
        return slots[monitor_slot({field, kind})];
    }
    bool notify(NotifyKey id) const { return slots[static_cast<std::size_t>(id)]; }
};

// Why a notification setting's value cannot reach curl as it must: a
// value that stands on this platform's command line and cannot pass its
// interpreter, a server that is not one SMTP address, a Bot API address or
// an smtptls value curl cannot use. Null when it can.
const char* unsafe_value(const char* key, const char* value) {
    const plat::Interpreter kind = plat::interpreter();
    switch (notify_key_of(key)) {
        case NotifyKey::server:
            return value[0] != '\0' ? server_value_problem(value) : nullptr;
        case NotifyKey::to:
        case NotifyKey::iamalive:
            return recipient_list_problem(value, kind);
        case NotifyKey::from:
            return quoted_value_problem(value, kind);
        case NotifyKey::telegram_api:
            return value[0] != '\0' ? telegram_api_problem(value) : nullptr;
        case NotifyKey::smtptls:
            return smtptls_problem(value);
        case NotifyKey::none:
        case NotifyKey::email:     // the login and the token reach curl in its
        case NotifyKey::password:  // configuration file, where any byte passes
        case NotifyKey::token:
        case NotifyKey::chat_id:
        case NotifyKey::sendtimeout:
            break;
    }
    return nullptr;
}

// Trims the six white-space characters at both ends, in place.
char* trim_in_place(char* text) {
    while (*text != '\0' && is_config_space(*text)) ++text;
    std::size_t n = std::strlen(text);
    while (n > 0 && is_config_space(text[n - 1])) text[--n] = '\0';
    return text;
}

// Reports one missing key: the message fails the check.
void missing(bool absent, const char* message, bool* passed) {
    if (!absent) return;
    console_out("%s", message);
    *passed = false;
}

void report_missing_monitor_keys(const SeenKeys& seen, bool* passed) {
    const MonitorField threshold = MonitorField::threshold;
    const MonitorField count = MonitorField::count;
    missing(!seen.monitor(MonitorField::hostid, MonitorKind::cpu_high), "Missing key: hostid\n", passed);
    missing(!seen.monitor(MonitorField::interval, MonitorKind::cpu_high), "Missing key: interval\n", passed);
    missing(!seen.monitor(threshold, MonitorKind::cpu_high),
            "Missing key: cpuhighthreshold (or old cpu_threshold / cputhreshold)\n", passed);
    missing(!seen.monitor(count, MonitorKind::cpu_high), "Missing key: cpuhighnum\n", passed);
    missing(!seen.monitor(threshold, MonitorKind::mem_high),
            "Missing key: memhighthreshold (or old mem_threshold / memthreshold)\n", passed);
    missing(!seen.monitor(count, MonitorKind::mem_high), "Missing key: memhighnum\n", passed);
    // the low monitors are optional, but only as a whole pair
    for (const MonitorEntry& m : kMonitors) {
        if (m.high) continue;
        const bool has_threshold = seen.monitor(threshold, m.kind);
        const bool has_count = seen.monitor(count, m.kind);
        if (has_threshold == has_count) continue;
        console_out("%s %s config incomplete: %s missing\n", m.figure, m.level,
                    has_threshold ? m.count_key : m.threshold_key);
        *passed = false;
    }
}

void report_missing_notify_keys(const SeenKeys& seen, bool* passed) {
    missing(!seen.notify(NotifyKey::server), "Missing key: server\n", passed);
    missing(!seen.notify(NotifyKey::email), "Missing key: email\n", passed);
    missing(!seen.notify(NotifyKey::password), "Missing key: password\n", passed);
    missing(!seen.notify(NotifyKey::to), "Missing key: to\n", passed);
    // Telegram is optional, but only as a whole pair
    const bool token = seen.notify(NotifyKey::token);
    const bool chat_id = seen.notify(NotifyKey::chat_id);
    missing(token && !chat_id, "Telegram config incomplete: chat_id missing\n", passed);
    missing(!token && chat_id, "Telegram config incomplete: token missing\n", passed);
}

}  // namespace

bool validate_config_file(const char* path, SettingsFile kind) {
    std::FILE* file = plat::open_kept_file(path, plat::KeptFileMode::read, nullptr);
    if (file == nullptr) {
        console_out("File not found: %s\n", path);
        return false;
    }
    bool passed = true;
    int line_number = 0;
    SeenKeys seen{};
    FixedText<kLineCap> line;
    ConfigKey key;
    ConfigValue value;
    while (read_config_line(file, line.out()) > 0) {
        ++line_number;
        const char* text = trim_in_place(line.buf);
        // blank, comment and switched-off lines count as absent
        if (text[0] == '\0' || text[0] == '#' || text[0] == '*') continue;
        if (std::strchr(text, '=') != nullptr && std::strchr(text, ':') == nullptr) {
            console_out("Line %d: '=' is not supported, use ':' instead\n", line_number);
            passed = false;
            continue;
        }
        if (!parse_config_line(text, &key, &value, nullptr)) {
            console_out("Line %d: invalid format, expected key : \"value\"\n", line_number);
            passed = false;
            continue;
        }
        const std::size_t slot = seen_slot(key.c_str(), kind);
        if (slot < kSeenCap) seen.slots[slot] = true;
        if (kind == SettingsFile::notify) {
            if (const char* reason = unsafe_value(key.c_str(), value.c_str())) {
                console_out("Line %d: %s %s\n", line_number, key.c_str(), reason);
                passed = false;
            }
        } else if (monitor_key_target(key.c_str()).field == MonitorField::metricsfile &&
                   !value.empty() && !metrics_folder_writable(value.c_str())) {
            console_out("Line %d: metricsfile %s: its folder does not exist or cannot be written\n",
                        line_number, value.c_str());
            passed = false;
        }
    }
    std::fclose(file);
    if (kind == SettingsFile::monitor) {
        report_missing_monitor_keys(seen, &passed);
    } else {
        report_missing_notify_keys(seen, &passed);
    }
    return passed;
}

int run_config_check() {
    console_out("loadhawk from %s\n\n", kMakerAttribution);
    console_out("Important: use ':' as separator. '=' is not supported.\n");
    console_out("Leading '*' means disable that config item.\n\n");

    console_out("Checking %s ...\n", kMonitorSettingsFile);
    const bool monitor_ok = validate_config_file(kMonitorSettingsFile, SettingsFile::monitor);
    console_out("%s\n\n", monitor_ok ? "OK" : "FAILED");

    console_out("Checking %s ...\n", kNotifySettingsFile);
    const bool notify_ok = validate_config_file(kNotifySettingsFile, SettingsFile::notify);
    console_out("%s\n\n", notify_ok ? "OK" : "FAILED");

    warn_when_no_curl();
    const bool passed = monitor_ok && notify_ok;
    console_out("Result: %s\n", passed ? "OK" : "FAILED");
    return passed ? 0 : 1;
}
