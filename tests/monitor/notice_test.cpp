#include "monitor/notice.h"
#include "platform/system_event.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "notify/email.h"
#include "output/silent_mode.h"
#include "support/fake_curl.h"
#include "support/monitor_support.h"
#include "support/test_support.h"

namespace {

const std::string kCpu = kCpuList;
const std::string kMem = kMemList;

}  // namespace

TEST(NoticeTexts, EveryMonitorAndEventInAllThreeForms) {
    MonitorSettings settings = quiet_settings();
    settings.cpu_high = {90, 3};
    settings.cpu_low = {10, 50};
    settings.mem_high = {85, 5};
    settings.mem_low = {12, 7};
    // 97.26 is shown with one decimal; the count is the configured one
    const Sample sample = test_sample(97.26, 97, 88);
    struct Row {
        MonitorKind kind;
        NoticeEvent event;
        std::string subject;
        std::string body;
        std::string telegram;
    };
    const Row rows[] = {
        {MonitorKind::cpu_high, NoticeEvent::alert,
         "2026-03-07 04:05:09 web1 CPU now 97.3% >= 90% for consecutive 3 times",
         "Now: 2026-03-07 04:05:09\nHost: web1\nCPU HIGH ALERT\nCPU: 97.3%\nThreshold: 90%\nCount: 3\n" + kCpu,
         "ALERT CPU HIGH\nHost: web1\nCPU: 97.3% >= 90%\nCount: 3\n" + kCpu + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::cpu_high, NoticeEvent::recovery,
         "2026-03-07 04:05:09 web1 CPU HIGH back to normal - CPU now 97.3%",
         "Now: 2026-03-07 04:05:09\nHost: web1\nCPU HIGH back to normal\nCPU: 97.3%\n" + kCpu,
         "RECOVERY CPU HIGH\nHost: web1\nCPU: 97.3%\n" + kCpu + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::cpu_low, NoticeEvent::alert,
         "2026-03-07 04:05:09 web1 CPU now 97.3% <= 10% for consecutive 50 times",
         "Now: 2026-03-07 04:05:09\nHost: web1\nCPU LOW ALERT\nCPU: 97.3%\nThreshold: 10%\nCount: 50\n" + kCpu,
         "ALERT CPU LOW\nHost: web1\nCPU: 97.3% <= 10%\nCount: 50\n" + kCpu + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::cpu_low, NoticeEvent::recovery,
         "2026-03-07 04:05:09 web1 CPU LOW back to normal - CPU now 97.3%",
         "Now: 2026-03-07 04:05:09\nHost: web1\nCPU LOW back to normal\nCPU: 97.3%\n" + kCpu,
         "RECOVERY CPU LOW\nHost: web1\nCPU: 97.3%\n" + kCpu + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::mem_high, NoticeEvent::alert,
         "2026-03-07 04:05:09 web1 MEM now 88% >= 85% for consecutive 5 times",
         "Now: 2026-03-07 04:05:09\nHost: web1\nMEM HIGH ALERT\nMEM: 88%\nThreshold: 85%\nCount: 5\n" + kMem,
         "ALERT MEM HIGH\nHost: web1\nMEM: 88% >= 85%\nCount: 5\n" + kMem + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::mem_high, NoticeEvent::recovery,
         "2026-03-07 04:05:09 web1 MEM HIGH back to normal - MEM now 88%",
         "Now: 2026-03-07 04:05:09\nHost: web1\nMEM HIGH back to normal\nMEM: 88%\n" + kMem,
         "RECOVERY MEM HIGH\nHost: web1\nMEM: 88%\n" + kMem + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::mem_low, NoticeEvent::alert,
         "2026-03-07 04:05:09 web1 MEM now 88% <= 12% for consecutive 7 times",
         "Now: 2026-03-07 04:05:09\nHost: web1\nMEM LOW ALERT\nMEM: 88%\nThreshold: 12%\nCount: 7\n" + kMem,
         "ALERT MEM LOW\nHost: web1\nMEM: 88% <= 12%\nCount: 7\n" + kMem + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::mem_low, NoticeEvent::recovery,
         "2026-03-07 04:05:09 web1 MEM LOW back to normal - MEM now 88%",
         "Now: 2026-03-07 04:05:09\nHost: web1\nMEM LOW back to normal\nMEM: 88%\n" + kMem,
         "RECOVERY MEM LOW\nHost: web1\nMEM: 88%\n" + kMem + "Time: 2026-03-07 04:05:09"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.subject);
        NoticeTexts texts{};
        texts.subject.assign("left over from the last notice");
        texts.email_body.assign("left over from the last notice, and longer than some bodies");
        build_notice_texts(row.kind, row.event, sample, settings, &texts);
        EXPECT_EQ(texts.subject.c_str(), row.subject);
        EXPECT_EQ(texts.email_body.c_str(), row.body);
        EXPECT_EQ(texts.telegram_text.c_str(), row.telegram);
    }
}

TEST(NoticeTexts, LongestHostAndListsAreNotCut) {
    MonitorSettings settings = quiet_settings();
    const std::string host(99, 'h');
    settings.hostid.assign(host.c_str());
    settings.cpu_high = {2147483647, 2147483647};
    settings.mem_low = {-2147483647 - 1, 2147483647};
    Sample sample = test_sample(100.0, 100, -2147483647 - 1);
    // the longest list texts: 1599 characters, ending in a line feed
    const std::string cpu_list = std::string(1598, 'c') + "\n";
    const std::string mem_list = std::string(1598, 'm') + "\n";
    sample.cpu_top_text.assign(cpu_list.c_str());
    sample.mem_top_text.assign(mem_list.c_str());
    NoticeTexts texts{};
    build_notice_texts(MonitorKind::cpu_high, NoticeEvent::alert, sample, settings, &texts);
    EXPECT_EQ(texts.subject.c_str(), "2026-03-07 04:05:09 " + host +
                                         " CPU now 100.0% >= 2147483647% for consecutive 2147483647 times");
    EXPECT_EQ(texts.email_body.c_str(), "Now: 2026-03-07 04:05:09\nHost: " + host +
                                            "\nCPU HIGH ALERT\nCPU: 100.0%\nThreshold: 2147483647%\n"
                                            "Count: 2147483647\n" + cpu_list);
    EXPECT_EQ(texts.telegram_text.c_str(), "ALERT CPU HIGH\nHost: " + host +
                                               "\nCPU: 100.0% >= 2147483647%\nCount: 2147483647\n" +
                                               cpu_list + "Time: 2026-03-07 04:05:09");
    build_notice_texts(MonitorKind::mem_low, NoticeEvent::alert, sample, settings, &texts);
    EXPECT_EQ(texts.telegram_text.c_str(), "ALERT MEM LOW\nHost: " + host +
                                               "\nMEM: -2147483648% <= -2147483648%\nCount: 2147483647\n" +
                                               mem_list + "Time: 2026-03-07 04:05:09");
}

using MonitorNotice = InTempDirWithCurl;

TEST_F(MonitorNotice, NoChannelEnabledOnlyLogsTheSubject) {
    MonitorSettings settings = quiet_settings();
    const NotifySettings notify = no_channels();
    const Sample sample = test_sample(5.0, 5, 33);
    ConsoleCapture console;
    send_monitor_notice(MonitorKind::mem_low, NoticeEvent::recovery, sample, settings, notify);
    std::size_t offset = 0;
    EXPECT_EQ(read_new_log(&offset), "***Alert sending :2026-03-07 04:05:09 web1 MEM LOW back to normal - MEM now 33%\n");
    // one information event with the subject for the system's log
    EXPECT_EQ(plat::last_system_event().type, plat::EventType::information);
    EXPECT_STREQ(plat::last_system_event().text, "2026-03-07 04:05:09 web1 MEM LOW back to normal - MEM now 33%");
    EXPECT_EQ(console.out(), "");
    EXPECT_EQ(curl_->calls(), "");
    EXPECT_FALSE(file_exists(kMailMessageFile));
}

TEST_F(MonitorNotice, MailToTheToListThenTelegram) {
    MonitorSettings settings = quiet_settings();
    settings.cpu_high = {90, 3};
    const NotifySettings notify = both_channels();
    const Sample sample = test_sample(97.26, 97, 88);
    ConsoleCapture console;
    const unsigned events_before = plat::last_system_event().count;
    send_monitor_notice(MonitorKind::cpu_high, NoticeEvent::alert, sample, settings, notify);
    EXPECT_EQ(plat::last_system_event().count, events_before + 1);  // the alert, no failure
    EXPECT_EQ(plat::last_system_event().type, plat::EventType::warning);
    EXPECT_EQ(console.out(),
              "Sending email alert ...\nEmail command rc=0\n"
              "Sending Telegram alert ...\nTelegram command rc=0\n");
    std::size_t offset = 0;
    EXPECT_EQ(read_new_log(&offset),
              "***Alert sending :2026-03-07 04:05:09 web1 CPU now 97.3% >= 90% for consecutive 3 times\n"
              "Send email to ops@example.com, oncall@example.com\n"
              "Email sent to ops@example.com, oncall@example.com\n"
              "Send Telegram alert to chat_id -1001\n"
              "Telegram sent to chat_id -1001\n");
    EXPECT_EQ(curl_->calls(), "call\ncall\n");
    // the mail curl read: subject and body of the notice, the CPU list last
    EXPECT_EQ(mail_without_stamps(curl_->message()),
              std::string("From: alerts@example.com\r\nTo: ops@example.com, oncall@example.com\r\n"
                          "Subject: 2026-03-07 04:05:09 web1 CPU now 97.3% >= 90% for consecutive 3 times\r\n") +
                  kMailHeadsAfterDate +
              "Now: 2026-03-07 04:05:09\r\nHost: web1\r\nCPU HIGH ALERT\r\nCPU: 97.3%\r\n"
              "Threshold: 90%\r\nCount: 3\r\n"
              "TOP1- PID: 11 CPU_TIME: 50.0 sec COMMAND: busy\r\n"
              "TOP2- PID: 12 CPU_TIME: 3.0 sec COMMAND: sh\r\n\r\n");
    // the last call is Telegram's
    EXPECT_EQ(telegram_text_sent(curl_->config()),
              "ALERT CPU HIGH\nHost: web1\nCPU: 97.3% >= 90%\nCount: 3\n" + kCpu +
                  "Time: 2026-03-07 04:05:09");
    EXPECT_FALSE(file_exists(kMailMessageFile));
}

TEST_F(MonitorNotice, FailedSendsAreNotRetriedAndSilentModeKeepsTheConsoleQuiet) {
    MonitorSettings settings = quiet_settings();
    const NotifySettings notify = both_channels();
    const Sample sample = test_sample(12.0, 12, 40);
    curl_->set_rc(7);
    set_silent_mode(true);
    ConsoleCapture console;
    const unsigned events_before = plat::last_system_event().count;
    send_monitor_notice(MonitorKind::mem_high, NoticeEvent::recovery, sample, settings, notify);
    set_silent_mode(false);
    // the recovery, then one error event per failed channel
    EXPECT_EQ(plat::last_system_event().count, events_before + 3);
    EXPECT_EQ(plat::last_system_event().type, plat::EventType::error);
    EXPECT_EQ(console.out(), "");
    std::size_t offset = 0;
    EXPECT_EQ(read_new_log(&offset),
              "***Alert sending :2026-03-07 04:05:09 web1 MEM HIGH back to normal - MEM now 40%\n"
              "Send email to ops@example.com, oncall@example.com\n"
              "Email not sent: curl rc=7 (no connection to the server)\n"
              "Send Telegram alert to chat_id -1001\n"
              "Telegram not sent: curl rc=7 (no connection to the server)\n");
    // one try per channel, the memory list in the Telegram text
    EXPECT_EQ(curl_->calls(), "call\ncall\n");
    EXPECT_EQ(telegram_text_sent(curl_->config()),
              "RECOVERY MEM HIGH\nHost: web1\nMEM: 40%\n" + kMem + "Time: 2026-03-07 04:05:09");
    EXPECT_FALSE(file_exists(kMailMessageFile));
}

TEST_F(MonitorNotice, OnlyTelegramEnabledWritesNoMailFile) {
    MonitorSettings settings = quiet_settings();
    NotifySettings notify = both_channels();
    notify.email_enabled = 0;
    const Sample sample = test_sample(3.0, 3, 40);
    ConsoleCapture console;
    send_monitor_notice(MonitorKind::cpu_low, NoticeEvent::alert, sample, settings, notify);
    EXPECT_EQ(console.out(), "Sending Telegram alert ...\nTelegram command rc=0\n");
    std::size_t offset = 0;
    EXPECT_EQ(read_new_log(&offset),
              "***Alert sending :2026-03-07 04:05:09 web1 CPU now 3.0% <= 10% for consecutive 50 times\n"
              "Send Telegram alert to chat_id -1001\n"
              "Telegram sent to chat_id -1001\n");
    EXPECT_EQ(curl_->calls(), "call\n");
    EXPECT_EQ(curl_->message(), "");
}
