#include "control/check_values.h"

#include <cstring>

#include "config/config_line.h"
#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "output/console.h"
#include "text/utf8.h"

namespace {

// A value as the console may show it.
struct Shown {
    ConfigValue text;
    explicit Shown(const char* value) {
        text.assign(value);
        (void)utf8_make_printable(text.buf);
    }
    const char* c_str() const { return text.c_str(); }
};

// "85%": a number with a percent sign, which reads as the number (the
// thresholds are percentages, and the examples once wrote them so).
bool is_percent(const char* value) {
    std::size_t i = value[0] == '+' || value[0] == '-' ? 1 : 0;
    const std::size_t first = i;
    while (value[i] >= '0' && value[i] <= '9') ++i;
    return i > first && value[i] == '%' && value[i + 1] == '\0';
}

// What the monitor makes of a number: `read` from the line, `used` after
// the loader's repairs.
bool reading_passes(const char* key, const char* value, int line_number, std::int32_t used) {
    const std::int32_t read = parse_config_number(value);
    const char* why = nullptr;
    switch (config_number_form(value)) {
        case NumberForm::not_a_number:
            if (is_percent(value) && used == read) break;
            why = "is not a number";
            break;
        case NumberForm::beyond_range:
            why = "is out of range";
            break;
        case NumberForm::number:
            if (used != read) why = read < 0 ? "is negative" : "is not a positive number";
            break;
    }
    if (why == nullptr) return true;
    console_out("Line %d: %s \"%s\" %s; the monitor uses %ld\n", line_number, key, Shown(value).c_str(), why,
                static_cast<long>(used));
    return false;
}

// A threshold beyond what a percentage can reach: a HIGH monitor that can
// never fire fails (it would stay silent); a LOW one that fires whatever
// the load is only a warning (it shows itself, and tries the alert path).
bool threshold_passes(const char* key, const char* value, int line_number, const MonitorEntry& m) {
    const std::int32_t percent = parse_config_number(value);
    if (m.high && percent > 100) {
        console_out("Line %d: %s \"%s\" is above 100%%; %s %s can never fire\n", line_number, key, value,
                    m.figure, m.level);
        return false;
    }
    if (!m.high && percent >= 100) {
        console_out("Warning: line %d: %s \"%s\" is 100%% or more; %s %s fires whatever the load\n",
                    line_number, key, value, m.figure, m.level);
    }
    return true;
}

// What the example files hold where a value of one's own belongs.
struct Placeholder {
    const char* key;   // null: any key
    const char* text;
    bool whole;        // the whole value, else a part of it
};
constexpr Placeholder kPlaceholders[] = {
    {nullptr, "example.invalid", false},  // the server and every address
    {"hostid", "my-server", true},
    {"password", "change-me", true},
    {"token", "replace-with-your-bot-token", false},
    {"chat_id", "-1001234567890", true},
};

bool is_placeholder(const char* key, const char* value) {
    for (const Placeholder& p : kPlaceholders) {
        if (p.key != nullptr && std::strcmp(p.key, key) != 0) continue;
        const bool found = p.whole ? std::strcmp(value, p.text) == 0 : std::strstr(value, p.text) != nullptr;
        if (found) return true;
    }
    return false;
}

}  // namespace

bool number_passes(const char* key, const char* value, SettingsFile kind, int line_number) {
    const std::int32_t read = parse_config_number(value);
    if (kind == SettingsFile::notify) {
        if (notify_key_of(key) != NotifyKey::sendtimeout) return true;
        return reading_passes(key, value, line_number, sendtimeout_in_use(read));
    }
    const MonitorKeyTarget target = monitor_key_target(key);
    switch (target.field) {
        case MonitorField::interval:
        case MonitorField::count:
            return reading_passes(key, value, line_number, monitor_number_in_use(target, read));
        case MonitorField::threshold:
            return reading_passes(key, value, line_number, monitor_number_in_use(target, read)) &&
                   threshold_passes(key, value, line_number, monitor_entry(target.monitor));
        case MonitorField::none:
        case MonitorField::recover:  // checked by monitor_value_problem
        case MonitorField::remind:
        case MonitorField::hostid:
        case MonitorField::metricsfile:
            break;
    }
    return true;
}

void warn_of_placeholder(const char* key, const char* value, int line_number) {
    FixedText<kScrambledCap> plain;
    const bool secret = std::strcmp(key, "password") == 0 || std::strcmp(key, "token") == 0;
    if (!secret || !unscramble_secret(value, plain.out())) plain.assign(value);
    if (!is_placeholder(key, plain.c_str())) return;
    console_out("Warning: line %d: %s \"%s\" is left from the example file; put your own\n", line_number,
                key, Shown(plain.c_str()).c_str());
}
