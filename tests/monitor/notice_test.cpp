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
// after the list: an empty line and the "Using CPU now" block
const std::string kNow = std::string("\n") + kCpuNowBlock;

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
         "Now: 2026-03-07 04:05:09\nHost: web1\nCPU HIGH ALERT\nCPU: 97.3%\nThreshold: 90%\nCount: 3\n" + kCpu + kNow,
         "ALERT CPU HIGH\nHost: web1\nCPU: 97.3% >= 90%\nCount: 3\n" + kCpu + kNow + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::cpu_high, NoticeEvent::recovery,
         "2026-03-07 04:05:09 web1 CPU HIGH back to normal - CPU now 97.3%",
         "Now: 2026-03-07 04:05:09\nHost: web1\nCPU HIGH back to normal\nCPU: 97.3%\n" + kCpu + kNow,
         "RECOVERY CPU HIGH\nHost: web1\nCPU: 97.3%\n" + kCpu + kNow + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::cpu_low, NoticeEvent::alert,
         "2026-03-07 04:05:09 web1 CPU now 97.3% <= 10% for consecutive 50 times",
         "Now: 2026-03-07 04:05:09\nHost: web1\nCPU LOW ALERT\nCPU: 97.3%\nThreshold: 10%\nCount: 50\n" + kCpu + kNow,
         "ALERT CPU LOW\nHost: web1\nCPU: 97.3% <= 10%\nCount: 50\n" + kCpu + kNow + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::cpu_low, NoticeEvent::recovery,
         "2026-03-07 04:05:09 web1 CPU LOW back to normal - CPU now 97.3%",
         "Now: 2026-03-07 04:05:09\nHost: web1\nCPU LOW back to normal\nCPU: 97.3%\n" + kCpu + kNow,
         "RECOVERY CPU LOW\nHost: web1\nCPU: 97.3%\n" + kCpu + kNow + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::mem_high, NoticeEvent::alert,
         "2026-03-07 04:05:09 web1 MEM now 88% >= 85% for consecutive 5 times",
         "Now: 2026-03-07 04:05:09\nHost: web1\nMEM HIGH ALERT\nMEM: 88%\nThreshold: 85%\nCount: 5\n" + kMem + kNow,
         "ALERT MEM HIGH\nHost: web1\nMEM: 88% >= 85%\nCount: 5\n" + kMem + kNow + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::mem_high, NoticeEvent::recovery,
         "2026-03-07 04:05:09 web1 MEM HIGH back to normal - MEM now 88%",
         "Now: 2026-03-07 04:05:09\nHost: web1\nMEM HIGH back to normal\nMEM: 88%\n" + kMem + kNow,
         "RECOVERY MEM HIGH\nHost: web1\nMEM: 88%\n" + kMem + kNow + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::mem_low, NoticeEvent::alert,
         "2026-03-07 04:05:09 web1 MEM now 88% <= 12% for consecutive 7 times",
         "Now: 2026-03-07 04:05:09\nHost: web1\nMEM LOW ALERT\nMEM: 88%\nThreshold: 12%\nCount: 7\n" + kMem + kNow,
         "ALERT MEM LOW\nHost: web1\nMEM: 88% <= 12%\nCount: 7\n" + kMem + kNow + "Time: 2026-03-07 04:05:09"},
        {MonitorKind::mem_low, NoticeEvent::recovery,
         "2026-03-07 04:05:09 web1 MEM LOW back to normal - MEM now 88%",
         "Now: 2026-03-07 04:05:09\nHost: web1\nMEM LOW back to normal\nMEM: 88%\n" + kMem + kNow,
         "RECOVERY MEM LOW\nHost: web1\nMEM: 88%\n" + kMem + kNow + "Time: 2026-03-07 04:05:09"},
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
    // with the longest "Using CPU now" block as well
    const std::string now_block = std::string(kCpuNowTextCap - 2, 'n') + "\n";
    sample.cpu_now_text.assign(now_block.c_str());
    const std::string longest_now = "\n" + now_block;
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
                                            "Count: 2147483647\n" + cpu_list + longest_now);
    EXPECT_EQ(texts.telegram_text.c_str(), "ALERT CPU HIGH\nHost: " + host +
                                               "\nCPU: 100.0% >= 2147483647%\nCount: 2147483647\n" +
                                               cpu_list + longest_now + "Time: 2026-03-07 04:05:09");
    build_notice_texts(MonitorKind::mem_low, NoticeEvent::alert, sample, settings, &texts);
    EXPECT_EQ(texts.telegram_text.c_str(), "ALERT MEM LOW\nHost: " + host +
                                               "\nMEM: -2147483648% <= -2147483648%\nCount: 2147483647\n" +
                                               mem_list + longest_now + "Time: 2026-03-07 04:05:09");
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
              "TOP2- PID: 12 CPU_TIME: 3.0 sec COMMAND: sh\r\n\r\n"
              "Using CPU now (share of all 4 CPUs since the previous cycle):\r\n"
              "NOW1- PID: 11 CPU: 24.6% USER: build COMMAND: busy CMDLINE: busy --spin\r\n\r\n");
    // the last call is Telegram's
    EXPECT_EQ(telegram_text_sent(curl_->config()),
              "ALERT CPU HIGH\nHost: web1\nCPU: 97.3% >= 90%\nCount: 3\n" + kCpu + kNow +
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
              "RECOVERY MEM HIGH\nHost: web1\nMEM: 40%\n" + kMem + kNow + "Time: 2026-03-07 04:05:09");
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

TEST(NoticeTexts, DurationLinesOfAlertReminderAndRecovery) {
    struct Span {
        std::int64_t seconds;
        const char* text;
    };
    const Span spans[] = {{-5, "0 s"}, {0, "0 s"}, {59, "59 s"}, {60, "1 min"}, {1500, "25 min"},
                          {3599, "59 min"}, {3600, "1 h 0 min"}, {2 * 86400 - 1, "47 h 59 min"},
                          {2 * 86400, "2 d 0 h"}, {9 * 86400 + 5 * 3600 + 7, "9 d 5 h"}};
    for (const Span& span : spans) {
        FixedText<32> text;
        format_duration(span.seconds, text.out());
        EXPECT_STREQ(text.c_str(), span.text) << span.seconds;
    }

    MonitorSettings settings = quiet_settings();
    settings.cpu_high = {90, 3};
    const Sample sample = test_sample(97.26, 97, 88);  // taken at kCycleUnixTime
    MonitorState state{};
    state.began.assign("2026-03-07 03:40:09");
    state.began_at = kCycleUnixTime - 25 * 60;
    state.ended_at = kCycleUnixTime - 60;
    struct Row {
        NoticeEvent event;
        std::string subject_start;
        std::string telegram_start;
        std::string held;
    };
    const Row rows[] = {
        {NoticeEvent::alert, "2026-03-07 04:05:09 web1 CPU now", "ALERT CPU HIGH\n",
         "Holding since: 2026-03-07 03:40:09 (25 min)\n"},
        {NoticeEvent::reminder, "Reminder: 2026-03-07 04:05:09 web1 CPU now", "REMINDER ALERT CPU HIGH\n",
         "Reminder: holding since 2026-03-07 03:40:09, for 25 min\n"},
        // lasted until the first cycle without the condition
        {NoticeEvent::recovery, "2026-03-07 04:05:09 web1 CPU HIGH back to normal", "RECOVERY CPU HIGH\n",
         "Began: 2026-03-07 03:40:09, lasted 24 min\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.held);
        NoticeTexts texts{};
        build_notice_texts(MonitorKind::cpu_high, row.event, sample, settings, &texts, &state);
        EXPECT_EQ(std::string(texts.subject.c_str()).rfind(row.subject_start, 0), 0u);
        const std::string after = kCpu + "\n" + row.held + kCpuNowBlock;
        const std::string body = texts.email_body.c_str();
        ASSERT_GE(body.size(), after.size());
        EXPECT_EQ(body.substr(body.size() - after.size()), after);
        const std::string telegram = texts.telegram_text.c_str();
        EXPECT_EQ(telegram.rfind(row.telegram_start, 0), 0u);
        EXPECT_NE(telegram.find(after + "Time: 2026-03-07 04:05:09"), std::string::npos);
    }
}
