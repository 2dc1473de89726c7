#include "support/monitor_support.h"

#include <regex>

#include "output/event_log.h"
#include "support/test_support.h"

Sample test_sample(double cpu_percent, int cpu_rounded, int mem_load) {
    Sample s{};
    s.cpu_percent = cpu_percent;
    s.cpu_rounded = cpu_rounded;
    s.mem_load = mem_load;
    s.cpu_top_text.assign(kCpuList);
    s.mem_top_text.assign(kMemList);
    s.cpu_now_text.assign(kCpuNowBlock);
    s.timestamp.assign(kCycleTime);
    s.taken_at = kCycleUnixTime;
    return s;
}

MonitorSettings quiet_settings() {
    MonitorSettings s{};
    s.hostid.assign("web1");
    s.interval = 60;
    s.cpu_high = {85, 5};
    s.cpu_low = {10, 50};
    s.mem_high = {85, 5};
    s.mem_low = {10, 50};
    for (const MonitorEntry& m : kMonitors) s.*m.recover = 1;
    return s;
}

NotifySettings no_channels() { return NotifySettings{}; }

std::string read_new_log(std::size_t* offset) {
    const std::string all = read_file(kLogFileName);
    const std::string fresh = all.size() > *offset ? all.substr(*offset) : std::string();
    *offset = all.size();
    // an entry starts with "YYYY-MM-DD hh:mm:ss " at the start of a line; the
    // lines of a list in the same entry start with "TOP"
    static const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d )");
    std::string messages;
    std::size_t pos = 0;
    while (pos < fresh.size()) {
        std::size_t end = fresh.find('\n', pos);
        end = end == std::string::npos ? fresh.size() : end + 1;
        std::string line = fresh.substr(pos, end - pos);
        if (line.size() >= 20 && std::regex_match(line.substr(0, 20), stamp)) line.erase(0, 20);
        messages += line;
        pos = end;
    }
    return messages;
}

NotifySettings mail_account() {
    NotifySettings s{};
    s.email_enabled = 1;
    s.server.assign("smtp://mail.example.com:587");
    s.email.assign("alerts@example.com");
    s.password.assign("s3cret");
    s.to.assign("ops@example.com");
    s.sendtimeout = 30;
    return s;
}

NotifySettings both_channels() {
    NotifySettings s = mail_account();
    s.from.assign("alerts@example.com");
    s.to.assign("ops@example.com, oncall@example.com");
    s.iamalive.assign("alive@example.com");
    s.heartbeat_enabled = 1;
    s.telegram_enabled = 1;
    s.token.assign("123:abc");
    s.chat_id.assign("-1001");
    return s;
}

std::string telegram_text_sent(const std::string& curl_config) {
    const std::size_t at = curl_config.find("&text=");
    if (at == std::string::npos) return "<no text in " + curl_config + ">";
    // the address ends at the closing quote of the configuration line
    const std::string address = curl_config.substr(0, curl_config.rfind('"'));
    std::string text;
    for (std::size_t i = at + 6; i < address.size(); ++i) {
        if (address[i] == '+') {
            text += ' ';
        } else if (address[i] == '%' && i + 2 < address.size()) {
            text += static_cast<char>(std::stoi(address.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            text += address[i];
        }
    }
    return text;
}

std::string mail_without_stamps(const std::string& message) {
    static const std::regex stamps(
        "\r\nDate: [A-Z][a-z]{2}, \\d\\d [A-Z][a-z]{2} \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}"
        "\r\nMessage-ID: <\\d{14}\\.\\d+\\.\\d+@[A-Za-z0-9.-]+>\r\n");
    return std::regex_replace(message, stamps, "\r\n", std::regex_constants::format_first_only);
}
