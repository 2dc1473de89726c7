#include "control/config_check.h"

#include <cstdio>
#include <cstring>

#include "config/config_line.h"
#include "config/line_reader.h"
#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "control/check_keys.h"
#include "control/check_values.h"
#include "control/curl_check.h"
#include "control/own_files.h"
#include "control/pid_file.h"
#include "monitor/metrics_file.h"
#include "notify/channels.h"
#include "output/banner.h"
#include "output/console.h"
#include "output/event_log.h"
#include "output/refused_file.h"
#include "platform/command.h"
#include "platform/files.h"
#include "platform/transient_files.h"

namespace {

constexpr std::size_t kLineCap = 1024;

// Whether the value of `key` on line `line_number` passes; prints why not:
// a notification value that cannot reach curl as it must, a recover or
// remind value out of range, a metrics file whose folder cannot take it.
bool value_passes(const char* key, const char* value, SettingsFile kind, int line_number) {
    if (kind == SettingsFile::notify) {
        const char* reason = setting_value_problem(key, value, plat::interpreter());
        if (reason == nullptr) return true;
        console_out("Line %d: %s %s\n", line_number, key, reason);
        return false;
    }
    const bool metrics = monitor_key_target(key).field == MonitorField::metricsfile;
    const char* reason = monitor_value_length_problem(key, value);
    if (reason == nullptr && metrics) reason = metrics_file_problem(value);
    if (reason != nullptr) {
        console_out("Line %d: %s%s%s %s\n", line_number, key, metrics ? " " : "", metrics ? value : "", reason);
        return false;
    }
    if (const char* problem = monitor_value_problem(key, value)) {
        console_out("Line %d: %s %s\n", line_number, key, problem);
        return false;
    }
    if (!metrics || value[0] == '\0' || metrics_folder_writable(value)) {
        return true;
    }
    console_out("Line %d: metricsfile %s: its folder does not exist or cannot be written\n",
                line_number, value);
    return false;
}

// Whether the monitor could write `name`, asked without making it: a line
// either way.
bool kept_file_passes(const char* name) {
    const plat::FileRefusal why = plat::kept_file_write_refusal(name);
    if (why == plat::FileRefusal::none) {
        console_out("%s can be written\n", name);
        return true;
    }
    if (const char* reason = refused_file_reason(why)) {
        console_out("%s %s\n", name, reason);
        return false;
    }
    FixedText<2 * plat::kTransientPathCap> advice;
    plat::write_access_advice(name, advice.out());
    console_out("%s cannot be written: %s\n", name, advice.c_str());
    return false;
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
        const char* text = trim_config_space(line.buf);
        // blank, comment and switched-off lines count as absent; a
        // switched-off line is only remembered, as the loader reads it
        if (text[0] == '\0' || text[0] == '#') continue;
        if (text[0] == '*') {
            if (parse_config_line(text, &key, &value, nullptr)) mark_seen_key(key.c_str(), kind, true, &seen);
            continue;
        }
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
        mark_seen_key(key.c_str(), kind, false, &seen);
        if (!key_is_known(key.c_str(), kind, line_number)) {
            passed = false;
            continue;
        }
        if (!value_passes(key.c_str(), value.c_str(), kind, line_number)) passed = false;
        if (!number_passes(key.c_str(), value.c_str(), kind, line_number)) passed = false;
        warn_of_placeholder(key.c_str(), value.c_str(), line_number);
    }
    std::fclose(file);
    if (!report_missing_keys(seen, kind)) passed = false;
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

    // the files a monitor run writes here; a missing one must be makeable
    console_out("Checking the files loadhawk writes ...\n");
    bool files_ok = true;
    const char* const written[] = {kLogFileName, kPidFileName, kRunLockFile};
    for (const char* name : written) {
        if (!kept_file_passes(name)) files_ok = false;
    }
    console_out("%s\n\n", files_ok ? "OK" : "FAILED");

    warn_when_no_curl();
    const bool passed = monitor_ok && notify_ok && files_ok;
    console_out("Result: %s\n", passed ? "OK" : "FAILED");
    return passed ? 0 : 1;
}
