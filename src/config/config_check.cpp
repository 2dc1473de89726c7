#include "config/config_check.h"

#include <cstdio>
#include <cstring>

#include "config/config_line.h"
#include "config/line_reader.h"
#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "control/banner.h"
#include "control/console.h"
#include "notify/command_line.h"
#include "platform/platform.h"

namespace {

constexpr std::size_t kLineCap = 1024;

// The keys whose presence the check looks for, per file.
enum MonitorKey { kHostid, kInterval, kCpuHighThreshold, kCpuHighNum, kMemHighThreshold, kMemHighNum,
                  kCpuLowThreshold, kCpuLowNum, kMemLowThreshold, kMemLowNum, kMonitorKeyCount };
enum NotifyKey { kServer, kEmail, kPassword, kTo, kToken, kChatId, kNotifyKeyCount };

struct KeyFlag {
    const char* key;
    int flag;
};

constexpr KeyFlag kMonitorKeys[] = {
    {"hostid", kHostid},
    {"interval", kInterval},
    {"cpuhighthreshold", kCpuHighThreshold},
    {"cpu_threshold", kCpuHighThreshold},
    {"cputhreshold", kCpuHighThreshold},
    {"cpuhighnum", kCpuHighNum},
    {"cpu_highnum", kCpuHighNum},
    {"memhighthreshold", kMemHighThreshold},
    {"mem_threshold", kMemHighThreshold},
    {"memthreshold", kMemHighThreshold},
    {"memhighnum", kMemHighNum},
    {"mem_highnum", kMemHighNum},
    {"cpulowthreshold", kCpuLowThreshold},
    {"cpulownum", kCpuLowNum},
    {"memlowthreshold", kMemLowThreshold},
    {"memlownum", kMemLowNum},
};

constexpr KeyFlag kNotifyKeys[] = {
    {"server", kServer}, {"email", kEmail}, {"password", kPassword},
    {"to", kTo},         {"token", kToken}, {"chat_id", kChatId},
};

int flag_of(const char* key, int kind) {
    if (kind == 0) {
        for (const KeyFlag& k : kMonitorKeys) {
            if (std::strcmp(key, k.key) == 0) return k.flag;
        }
    } else {
        for (const KeyFlag& k : kNotifyKeys) {
            if (std::strcmp(key, k.key) == 0) return k.flag;
        }
    }
    return -1;
}

// Why a notification setting's value cannot reach curl safely through this
// platform's command interpreter, or null when it can (or the key is not
// one that goes into a command line).
const char* unsafe_value(const char* key, const char* value) {
    const plat::Interpreter kind = plat::interpreter();
    if (std::strcmp(key, "server") == 0) return value[0] != '\0' ? server_value_problem(value) : nullptr;
    if (std::strcmp(key, "to") == 0 || std::strcmp(key, "iamalive") == 0) return recipient_list_problem(value, kind);
    if (std::strcmp(key, "telegram_api") == 0) return value[0] != '\0' ? telegram_api_problem(value, kind) : nullptr;
    if (std::strcmp(key, "password") == 0) {
        // the plain form is what goes on the command line
        FixedText<128> plain;
        if (unscramble_secret(value, plain.buf, plain.capacity) == 0) plain.assign(value);
        return quoted_value_problem(plain.c_str(), kind);
    }
    if (std::strcmp(key, "email") == 0 || std::strcmp(key, "from") == 0) return quoted_value_problem(value, kind);
    return nullptr;
}

// Trims the six white-space characters at both ends, in place.
char* trim_in_place(char* text) {
    while (*text != '\0' && is_config_space(*text)) ++text;
    std::size_t n = std::strlen(text);
    while (n > 0 && is_config_space(text[n - 1])) text[--n] = '\0';
    return text;
}

// Reports one missing key: the message sets the result to 0.
void missing(bool absent, const char* message, int* result) {
    if (!absent) return;
    console_out("%s", message);
    *result = 0;
}

void report_missing_monitor_keys(const bool* seen, int* result) {
    missing(!seen[kHostid], "Missing key: hostid\n", result);
    missing(!seen[kInterval], "Missing key: interval\n", result);
    missing(!seen[kCpuHighThreshold], "Missing key: cpuhighthreshold (or old cpu_threshold / cputhreshold)\n", result);
    missing(!seen[kCpuHighNum], "Missing key: cpuhighnum\n", result);
    missing(!seen[kMemHighThreshold], "Missing key: memhighthreshold (or old mem_threshold / memthreshold)\n", result);
    missing(!seen[kMemHighNum], "Missing key: memhighnum\n", result);
    // the low monitors are optional, but only as a whole pair
    missing(seen[kCpuLowThreshold] && !seen[kCpuLowNum], "CPU LOW config incomplete: cpulownum missing\n", result);
    missing(!seen[kCpuLowThreshold] && seen[kCpuLowNum], "CPU LOW config incomplete: cpulowthreshold missing\n", result);
    missing(seen[kMemLowThreshold] && !seen[kMemLowNum], "MEM LOW config incomplete: memlownum missing\n", result);
    missing(!seen[kMemLowThreshold] && seen[kMemLowNum], "MEM LOW config incomplete: memlowthreshold missing\n", result);
}

void report_missing_notify_keys(const bool* seen, int* result) {
    missing(!seen[kServer], "Missing key: server\n", result);
    missing(!seen[kEmail], "Missing key: email\n", result);
    missing(!seen[kPassword], "Missing key: password\n", result);
    missing(!seen[kTo], "Missing key: to\n", result);
    // Telegram is optional, but only as a whole pair
    missing(seen[kToken] && !seen[kChatId], "Telegram config incomplete: chat_id missing\n", result);
    missing(!seen[kToken] && seen[kChatId], "Telegram config incomplete: token missing\n", result);
}

}  // namespace

int validate_config_file(const char* path, int kind) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        console_out("File not found: %s\n", path);
        return 0;
    }
    int result = 1;
    int line_number = 0;
    static_assert(static_cast<int>(kMonitorKeyCount) >= static_cast<int>(kNotifyKeyCount));
    bool seen[kMonitorKeyCount] = {};
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
            result = 0;
            continue;
        }
        if (parse_config_line(text, &key, &value, nullptr) == 0) {
            console_out("Line %d: invalid format, expected key : \"value\"\n", line_number);
            result = 0;
            continue;
        }
        const int flag = flag_of(key.c_str(), kind);
        if (flag >= 0) seen[flag] = true;
        if (kind != 0) {
            if (const char* reason = unsafe_value(key.c_str(), value.c_str())) {
                console_out("Line %d: %s %s\n", line_number, key.c_str(), reason);
                result = 0;
            }
        }
    }
    std::fclose(file);
    if (kind == 0) {
        report_missing_monitor_keys(seen, &result);
    } else {
        report_missing_notify_keys(seen, &result);
    }
    return result;
}

int run_config_check() {
    console_out("loadhawk from %s\n\n", kMakerAttribution);
    console_out("Important: use ':' as separator. '=' is not supported.\n");
    console_out("Leading '*' means disable that config item.\n\n");

    console_out("Checking %s ...\n", kMonitorSettingsFile);
    const int monitor_ok = validate_config_file(kMonitorSettingsFile, 0);
    console_out("%s\n\n", monitor_ok ? "OK" : "FAILED");

    console_out("Checking %s ...\n", kNotifySettingsFile);
    const int notify_ok = validate_config_file(kNotifySettingsFile, 1);
    console_out("%s\n\n", notify_ok ? "OK" : "FAILED");

    const bool passed = monitor_ok != 0 && notify_ok != 0;
    console_out("Result: %s\n", passed ? "OK" : "FAILED");
    return passed ? 0 : 1;
}
