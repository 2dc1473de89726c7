// A test-only driver of the notification senders, built for both platforms
// so the end-to-end tests can run them (the Windows build under Wine):
//
//   notify_driver email    SETTINGS   send_email with the settings below
//   notify_driver telegram SETTINGS   send_telegram
//   notify_driver run      SECONDS COMMAND-FILE   run_shell_command, prints "rc=%d"
//   notify_driver cycles   START-DAY SCRIPT       monitor cycles over scripted figures
//
// SETTINGS is a file of key=value lines; "\n", "\\" and "\xHH" in a value
// stand for a line feed, a backslash and any byte. Keys: the NotifySettings
// fields (server, email, password, from, to, iamalive, token, chat_id,
// telegram_api, sendtimeout, smtptls, email_enabled, telegram_enabled; the flags are 1
// unless given) and recipients, subject, body, text, silent.
// The exit code is 0 when the send reported success, else 1.
//
// "cycles" loads loadhawk_setup.txt and loadhawk_email.txt of the working
// directory as the monitor run does (silently), remembers START-DAY as the
// day of the start time, and runs one cycle per SCRIPT line
// "CPU-PERCENT MEM-LOAD DAY-OF-MONTH YYYY-MM-DD hh:mm:ss": the four monitors
// over those figures (with the list texts kDriverCpuList / kDriverMemList,
// the block kDriverCpuNow and that timestamp), then the heartbeat check for that day. The senders are the
// real ones, so notices go through curl.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>

#include "config/monitor_settings.h"
#include "monitor/heartbeat.h"
#include "monitor/monitor_loop.h"
#include "notify/email.h"
#include "notify/shell_command.h"
#include "notify/telegram.h"
#include "output/silent_mode.h"
#include "support/whole_file.h"

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string unescape(const std::string& raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 >= raw.size()) {
            out += raw[i];
            continue;
        }
        const char next = raw[++i];
        if (next == 'n') {
            out += '\n';
        } else if (next == 'x' && i + 2 < raw.size() && hex_digit(raw[i + 1]) >= 0 &&
                   hex_digit(raw[i + 2]) >= 0) {
            out += static_cast<char>(hex_digit(raw[i + 1]) * 16 + hex_digit(raw[i + 2]));
            i += 2;
        } else {
            out += next;
        }
    }
    return out;
}

std::map<std::string, std::string> read_settings(const char* path) {
    std::map<std::string, std::string> values;
    const std::string all = read_whole_file(path);
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = unescape(line.substr(eq + 1));
        start = end + 1;
    }
    return values;
}

const char* value_or_null(const std::map<std::string, std::string>& values, const char* key) {
    const auto it = values.find(key);
    return it == values.end() ? nullptr : it->second.c_str();
}

NotifySettings to_settings(const std::map<std::string, std::string>& values) {
    NotifySettings s{};
    s.email_enabled = 1;
    s.telegram_enabled = 1;
    for (const auto& [key, value] : values) {
        const char* v = value.c_str();
        if (key == "server") s.server.assign(v);
        if (key == "email") s.email.assign(v);
        if (key == "password") s.password.assign(v);
        if (key == "from") s.from.assign(v);
        if (key == "to") s.to.assign(v);
        if (key == "iamalive") s.iamalive.assign(v);
        if (key == "token") s.token.assign(v);
        if (key == "chat_id") s.chat_id.assign(v);
        if (key == "telegram_api") s.telegram_api.assign(v);
        if (key == "sendtimeout") s.sendtimeout = std::atoi(v);
        if (key == "smtptls") s.smtptls.assign(v);
        if (key == "email_enabled") s.email_enabled = std::atoi(v);
        if (key == "telegram_enabled") s.telegram_enabled = std::atoi(v);
    }
    return s;
}

constexpr const char* kDriverCpuList =
    "TOP1- PID: 4242 CPU_TIME: 812.5 sec COMMAND: busy-worker\n"
    "TOP2- PID: 1 CPU_TIME: 3.0 sec COMMAND: init\n";
constexpr const char* kDriverMemList =
    "TOP1- PID: 777 %MEM: 41.7 COMMAND: big-cache\n"
    "TOP2- PID: 1 %MEM: 0.1 COMMAND: init\n";

constexpr const char* kDriverCpuNow =
    "Using CPU now (share of all 2 CPUs since the previous cycle):\n"
    "NOW1- PID: 4242 CPU: 49.9% USER: build COMMAND: busy-worker CMDLINE: busy-worker --all\n";

// The local time of "YYYY-MM-DD" "hh:mm:ss" in Unix seconds.
std::int64_t unix_seconds_of(const char* date, const char* time) {
    std::tm parts{};
    if (std::sscanf(date, "%d-%d-%d", &parts.tm_year, &parts.tm_mon, &parts.tm_mday) != 3 ||
        std::sscanf(time, "%d:%d:%d", &parts.tm_hour, &parts.tm_min, &parts.tm_sec) != 3) {
        return 0;
    }
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    parts.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&parts));
}

int run_cycles(int start_day, const char* script_path) {
    MonitorSettings monitor_settings{};
    // the settings reports stay off the driver's output, as in a background run
    set_silent_mode(true);
    if (!load_monitor_settings(&monitor_settings)) return 2;
    NotifySettings notify_settings{};
    (void)load_notify_settings(&notify_settings);
    set_silent_mode(false);
    StateBetweenCycles run{};
    run.remembered_day = start_day;
    const std::string script = read_whole_file(script_path);
    std::size_t start = 0;
    while (start < script.size()) {
        std::size_t end = script.find('\n', start);
        if (end == std::string::npos) end = script.size();
        const std::string line = script.substr(start, end - start);
        start = end + 1;
        double cpu = 0;
        int mem = 0;
        int day = 0;
        char date[16] = {};
        char time[16] = {};
        if (std::sscanf(line.c_str(), "%lf %d %d %15s %15s", &cpu, &mem, &day, date, time) != 5) {
            continue;
        }
        Sample sample{};
        sample.cpu_percent = cpu;
        sample.cpu_rounded = static_cast<std::int32_t>(cpu + 0.5);
        sample.mem_load = mem;
        sample.cpu_top_text.assign(kDriverCpuList);
        sample.mem_top_text.assign(kDriverMemList);
        sample.cpu_now_text.assign(kDriverCpuNow);
        sample.timestamp.format("%s %s", date, time);
        sample.taken_at = unix_seconds_of(date, time);
        evaluate_all_monitors(sample, monitor_settings, notify_settings, &run);
        // the run starts with its first cycle
        if (run.heartbeat.started_at == 0) run.heartbeat.started_at = sample.taken_at;
        run.heartbeat.monitors = run.monitors;
        check_heartbeat_on_day(day, sample, monitor_settings, notify_settings, &run.remembered_day,
                               &run.heartbeat);
        std::printf("cycle done, remembered day %d\n", run.remembered_day);
        std::fflush(stdout);
    }
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: notify_driver email|telegram SETTINGS\n"
                 "       notify_driver run SECONDS COMMAND-FILE\n"
                 "       notify_driver cycles START-DAY SCRIPT\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string mode = argv[1];
    if (mode == "run") {
        if (argc < 4) return usage();
        const std::string command = read_whole_file(argv[3]);
        const int rc = run_shell_command(command.c_str(),
                                         static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10)));
        std::printf("rc=%d\n", rc);
        return 0;
    }
    if (mode == "cycles") {
        if (argc < 4) return usage();
        return run_cycles(std::atoi(argv[2]), argv[3]);
    }
    const std::map<std::string, std::string> values = read_settings(argv[2]);
    const NotifySettings settings = to_settings(values);
    const char* silent_text = value_or_null(values, "silent");
    set_silent_mode(silent_text != nullptr && std::atoi(silent_text) != 0);
    bool sent = false;
    if (mode == "email") {
        sent = send_email(&settings, value_or_null(values, "recipients"),
                          value_or_null(values, "subject"), value_or_null(values, "body"));
    } else if (mode == "telegram") {
        sent = send_telegram(&settings, value_or_null(values, "text"));
    } else {
        return usage();
    }
    return sent ? 0 : 1;
}
