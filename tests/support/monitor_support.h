// Helpers of the monitor tests: a sample with known lists, settings with
// every monitor switched off, and the log read back without timestamps.
#pragma once

#include <string>
#include <vector>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "sampling/sample.h"

constexpr const char* kCpuList =
    "TOP1- PID: 11 CPU_TIME: 50.0 sec COMMAND: busy\n"
    "TOP2- PID: 12 CPU_TIME: 3.0 sec COMMAND: sh\n";
constexpr const char* kMemList = "TOP1- PID: 21 %MEM: 40.0 COMMAND: big\n";
constexpr const char* kCycleTime = "2026-03-07 04:05:09";
constexpr std::int64_t kCycleUnixTime = 1804392309;  // the sample's taken_at
constexpr const char* kCpuNowBlock =
    "Using CPU now (share of all 4 CPUs since the previous cycle):\n"
    "NOW1- PID: 11 CPU: 24.6% USER: build COMMAND: busy CMDLINE: busy --spin\n";

// A sample stamped kCycleTime with kCpuList, kMemList and kCpuNowBlock; the figures are the caller's.
Sample test_sample(double cpu_percent, int cpu_rounded, int mem_load);

// Host "web1", interval 60, every monitor off.
MonitorSettings quiet_settings();

// No channel enabled: a notice is only logged.
NotifySettings no_channels();

// Reads the event log from `*offset` on and moves `*offset` to its end.
// The timestamp in front of each entry is removed, so only messages remain.
std::string read_new_log(std::size_t* offset);

// E-mail on: server "smtp://mail.example.com:587", account
// "alerts@example.com" / "s3cret", to "ops@example.com", 30-second timeout;
// the sender is the caller's.
NotifySettings mail_account();

// Both channels and the heartbeat on: mail to "ops@example.com, oncall@example.com",
// the heartbeat to "alive@example.com", Telegram chat "-1001" through
// "https://api.telegram.org".
NotifySettings both_channels();

// The decoded "text" parameter of the Bot API address in curl's
// configuration file (`url = "..."`).
std::string telegram_text_sent(const std::string& curl_config);

// The header lines after the subject, up to the empty line, as every mail
// carries them.
constexpr const char* kMailHeadsAfterDate =
    "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
    "Content-Transfer-Encoding: 8bit\r\n\r\n";

// A mail message with its Date and Message-ID lines left out, once each has
// its proper form (else the message is returned as it is, so a comparison fails).
std::string mail_without_stamps(const std::string& message);
