// A test-only driver of the notification senders, built for both platforms
// so the end-to-end tests can run them (the Windows build under Wine):
//
//   notify_driver email    SETTINGS   send_email with the settings below
//   notify_driver telegram SETTINGS   send_telegram
//   notify_driver webhook  SETTINGS   send_webhook of a test notice
//   notify_driver run      SECONDS COMMAND-FILE   run_shell_command, prints "rc=%d"
//   notify_driver cycles   START-DAY SCRIPT       monitor cycles over scripted figures
//
// SETTINGS is a file of key=value lines; "\n", "\\" and "\xHH" in a value
// stand for a line feed, a backslash and any byte. Keys: the NotifySettings
// fields (server, email, password, from, to, iamalive, token, chat_id,
// telegram_api, sendtimeout, smtptls, webhook, webhookformat, email_enabled,
// telegram_enabled, webhook_enabled; the flags are 1 unless given) and
// recipients, subject, body, text, silent.
// The exit code is 0 when the send reported success, else 1.
//
// "cycles" loads loadhawk_setup.txt and loadhawk_email.txt of the working
// directory as the monitor run does (silently), remembers START-DAY as the
// day of the start time, and runs one cycle per SCRIPT line
// "CPU-PERCENT MEM-LOAD DAY-OF-MONTH YYYY-MM-DD hh:mm:ss": the four monitors
// over those figures (with the list texts kDriverCpuList / kDriverMemList and
// that timestamp, and their rows as the two top lists), then the heartbeat
// check for that day. The senders are the real ones, so notices go through
// curl. DRIVER_TOP_NAME (escaped as a SETTINGS value) names the first CPU
// row, in the list and in its text.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "config/monitor_settings.h"
#include "monitor/heartbeat.h"
#include "monitor/monitor_loop.h"
#include "notify/email.h"
#include "notify/shell_command.h"
#include "notify/telegram.h"
#include "notify/webhook.h"
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
    s.webhook_enabled = 1;
    s.webhookformat.assign(kDefaultWebhookFormat);
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
        if (key == "webhook") s.webhook.assign(v);
        if (key == "webhookformat") s.webhookformat.assign(v);
        if (key == "webhook_enabled") s.webhook_enabled = std::atoi(v);
    }
    return s;
}

constexpr const char* kDriverCpuList =
    "TOP1- PID: 4242 CPU_TIME: 812.5 sec COMMAND: busy-worker\n"
    "TOP2- PID: 1 CPU_TIME: 3.0 sec COMMAND: init\n";
constexpr const char* kDriverMemList =
    "TOP1- PID: 777 %MEM: 41.7 COMMAND: big-cache\n"
    "TOP2- PID: 1 %MEM: 0.1 COMMAND: init\n";

void fill_top_lists(Sample* sample) {
    const char* env_name = std::getenv("DRIVER_TOP_NAME");
    const std::string name = env_name != nullptr ? unescape(env_name) : "busy-worker";
    sample->cpu_top.rows[0].pid = 4242;
    sample->cpu_top.rows[0].name.assign(name.c_str());
    sample->cpu_top.rows[0].value = 812.5;
    sample->cpu_top.rows[1].pid = 1;
    sample->cpu_top.rows[1].name.assign("init");
    sample->cpu_top.rows[1].value = 3.0;
    sample->mem_top.rows[0].pid = 777;
    sample->mem_top.rows[0].name.assign("big-cache");
    sample->mem_top.rows[0].value = 41.7;
    sample->mem_top.rows[1].pid = 1;
    sample->mem_top.rows[1].name.assign("init");
    sample->mem_top.rows[1].value = 0.1;
    if (env_name == nullptr) {
        sample->cpu_top_text.assign(kDriverCpuList);
    } else {
        sample->cpu_top_text.format("TOP1- PID: 4242 CPU_TIME: 812.5 sec COMMAND: %s\n"
                                    "TOP2- PID: 1 CPU_TIME: 3.0 sec COMMAND: init\n",
                                    name.c_str());
    }
    sample->mem_top_text.assign(kDriverMemList);
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
        fill_top_lists(&sample);
        sample.timestamp.format("%s %s", date, time);
        evaluate_all_monitors(sample, monitor_settings, notify_settings, &run);
        check_heartbeat_on_day(day, sample, monitor_settings, notify_settings, &run.remembered_day);
        std::printf("cycle done, remembered day %d\n", run.remembered_day);
        std::fflush(stdout);
    }
    return 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: notify_driver email|telegram|webhook SETTINGS\n"
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
    } else if (mode == "webhook") {
        const NoticeFacts facts{"test", "driver-host", nullptr, nullptr, 0, 0,
                                "2026-03-07 04:05:09", nullptr, nullptr};
        const ChannelMessage message{nullptr, value_or_null(values, "subject"), nullptr,
                                     value_or_null(values, "text"), &facts};
        sent = send_webhook(&settings, message);
    } else {
        return usage();
    }
    return sent ? 0 : 1;
}
