#include "monitor/heartbeat.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "notify/email.h"
#include "output/event_log.h"
#include "output/silent_mode.h"
#include "platform/time.h"
#include "support/fake_curl.h"
#include "support/monitor_support.h"
#include "support/test_support.h"

namespace {

constexpr const char* kHeartbeatSubject = "web1 loadhawk is up and running : 2026-03-07 04:05:09";
constexpr const char* kHeartbeatBody =
    "loadhawk is running\nHost: web1\nCPU: 42.4%\nMEM: 61%\nTime: 2026-03-07 04:05:09\n";
constexpr const char* kHeartbeatTelegram =
    "IAMALIVE\nloadhawk is running\nHost: web1\nCPU: 42.4%\nMEM: 61%\nTime: 2026-03-07 04:05:09";

std::string mail_to(const char* recipients, const char* body) {
    std::string crlf_body;
    for (const char* p = body; *p != '\0'; ++p) {
        if (*p == '\n') crlf_body += '\r';
        crlf_body += *p;
    }
    return std::string("From: alerts@example.com\r\nTo: ") + recipients + "\r\nSubject: " +
           kHeartbeatSubject + "\r\n" + kMailHeadsAfterDate + crlf_body + "\r\n";
}

}  // namespace

TEST(HeartbeatTexts, CycleFiguresAndTimestamp) {
    const MonitorSettings settings = quiet_settings();
    const Sample sample = test_sample(42.35, 42, 61);
    HeartbeatTexts texts{};
    build_heartbeat_texts(sample, settings, &texts);
    EXPECT_STREQ(texts.subject.c_str(), kHeartbeatSubject);
    EXPECT_STREQ(texts.email_body.c_str(), kHeartbeatBody);
    EXPECT_STREQ(texts.telegram_text.c_str(), kHeartbeatTelegram);
}

using Heartbeat = InTempDirWithCurl;

TEST_F(Heartbeat, WhoGetsItWhenTheDayChanges) {
    const MonitorSettings settings = quiet_settings();
    const Sample sample = test_sample(42.35, 42, 61);
    struct Row {
        const char* name;
        int email_enabled;
        int telegram_enabled;
        int heartbeat_enabled;
        std::string log;       // without timestamps
        const char* calls;     // one line per curl run
        std::string message;   // the mail curl read, when one went
        const char* telegram;  // the text of the last (Telegram) call
    };
    const Row rows[] = {
        {"both channels", 1, 1, 1,
         "Send email to alive@example.com\nEmail sent to alive@example.com\n"
         "Send Telegram alert to chat_id -1001\nTelegram sent to chat_id -1001\n", "call\ncall\n",
         mail_to("alive@example.com", kHeartbeatBody), kHeartbeatTelegram},
        {"e-mail only: the iamalive list, not the to list", 1, 0, 1,
         "Send email to alive@example.com\nEmail sent to alive@example.com\n", "call\n",
         mail_to("alive@example.com", kHeartbeatBody),
         nullptr},
        {"Telegram only", 0, 1, 1,
         "Send Telegram alert to chat_id -1001\nTelegram sent to chat_id -1001\n", "call\n", "",
         kHeartbeatTelegram},
        {"heartbeat off: not even Telegram", 1, 1, 0, "", "", "", nullptr},
        {"no channel", 0, 0, 1, "", "", "", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        curl_->reset();
        (void)std::remove(kLogFileName);
        NotifySettings notify = both_channels();
        notify.email_enabled = row.email_enabled;
        notify.telegram_enabled = row.telegram_enabled;
        notify.heartbeat_enabled = row.heartbeat_enabled;
        std::int32_t remembered = 7;
        ConsoleCapture console;
        check_heartbeat_on_day(8, sample, settings, notify, &remembered);
        // the new day is remembered whether or not anything went out
        EXPECT_EQ(remembered, 8);
        std::size_t offset = 0;
        EXPECT_EQ(read_new_log(&offset), row.log);
        EXPECT_EQ(curl_->calls(), row.calls);
        EXPECT_EQ(mail_without_stamps(curl_->message()), row.message);
        if (row.telegram != nullptr) {
            EXPECT_EQ(telegram_text_sent(curl_->config()), row.telegram);
        }
        EXPECT_FALSE(file_exists(kMailMessageFile));
        // the same day once more: nothing
        check_heartbeat_on_day(8, sample, settings, notify, &remembered);
        EXPECT_EQ(curl_->calls(), row.calls);
        EXPECT_EQ(read_new_log(&offset), "");
    }
}

TEST_F(Heartbeat, SameDayOfTheMonthSendsNothing) {
    // also a machine that slept from the 5th of one month to the 5th of the next
    const MonitorSettings settings = quiet_settings();
    const NotifySettings notify = both_channels();
    const Sample sample = test_sample(1.0, 1, 2);
    std::int32_t remembered = 5;
    ConsoleCapture console;
    check_heartbeat_on_day(5, sample, settings, notify, &remembered);
    EXPECT_EQ(remembered, 5);
    EXPECT_EQ(curl_->calls(), "");
    EXPECT_FALSE(file_exists(kLogFileName));
    EXPECT_EQ(console.out(), "");
}

TEST_F(Heartbeat, FailedDeliveryIsNotTriedAgainThatDay) {
    const MonitorSettings settings = quiet_settings();
    const NotifySettings notify = both_channels();
    const Sample sample = test_sample(42.35, 42, 61);
    curl_->set_rc(28);
    std::int32_t remembered = 31;
    {
        ConsoleCapture console;
        check_heartbeat_on_day(1, sample, settings, notify, &remembered);
        EXPECT_EQ(console.out(),
                  "Sending email alert ...\nEmail command rc=28\nEmail not sent: curl rc=28 (timed out)\n"
                  "Sending Telegram alert ...\nTelegram command rc=28\n"
                  "Telegram not sent: curl rc=28 (timed out)\n");
    }
    EXPECT_EQ(remembered, 1);
    set_silent_mode(true);
    {
        ConsoleCapture console;
        for (int cycle = 0; cycle < 3; ++cycle) {
            check_heartbeat_on_day(1, sample, settings, notify, &remembered);
        }
        EXPECT_EQ(console.out(), "");
    }
    EXPECT_EQ(curl_->calls(), "call\ncall\n");
    // the next day's goes out, quietly in silent mode
    curl_->set_rc(0);
    {
        ConsoleCapture console;
        check_heartbeat_on_day(2, sample, settings, notify, &remembered);
        EXPECT_EQ(console.out(), "");
    }
    set_silent_mode(false);
    EXPECT_EQ(remembered, 2);
    EXPECT_EQ(curl_->calls(), "call\ncall\ncall\ncall\n");
}

TEST_F(Heartbeat, ClockCheckRemembersTodaysDay) {
    const MonitorSettings settings = quiet_settings();
    const NotifySettings notify = no_channels();
    const Sample sample = test_sample(1.0, 1, 2);
    std::int32_t remembered = 0;  // no day of any month
    check_heartbeat(sample, settings, notify, &remembered);
    plat::LocalTime now{};
    plat::local_time(&now);
    EXPECT_EQ(remembered, now.day);
    EXPECT_FALSE(file_exists(kLogFileName));
}

namespace {

plat::LocalTime g_clock{};
void stand_in_clock(plat::LocalTime* out) { *out = g_clock; }

}  // namespace

TEST_F(Heartbeat, AnUnreadableClockSendsNothingAndTheNextDaySendsTheRunsFacts) {
    MonitorSettings settings = quiet_settings();
    const NotifySettings notify = both_channels();
    Sample sample = test_sample(42.35, 42, 61);
    MonitorState monitors[kMonitorCount] = {};
    monitors[0].alerted = true;
    monitors[0].began.assign("2026-03-07 03:40:09");
    monitors[3].alerted = true;
    monitors[3].began.assign("2026-03-06 22:00:00");
    HeartbeatFacts facts{kCycleUnixTime - (3 * 86400 + 4 * 3600), monitors, 0, 0};
    notice_totals(&facts.sent_before, &facts.failed_before);
    // two notices went out and one failed since the last heartbeat
    facts.sent_before -= 2;
    facts.failed_before -= 1;
    std::int32_t remembered = 6;
    ConsoleCapture console;
    g_clock = plat::LocalTime{};  // all zero: day 0
    check_heartbeat(sample, settings, notify, &remembered, &facts, &stand_in_clock);
    EXPECT_EQ(remembered, 6);
    EXPECT_EQ(curl_->calls(), "");

    g_clock.day = 7;
    check_heartbeat(sample, settings, notify, &remembered, &facts, &stand_in_clock);
    EXPECT_EQ(remembered, 7);
    EXPECT_EQ(curl_->calls(), "call\ncall\n");
    const std::string facts_text = std::string("Version: ") + LOADHAWK_VERSION +
                                   "\nUp: 3 d 4 h\nStanding alerts: CPU HIGH since 2026-03-07 03:40:09, "
                                   "MEM LOW since 2026-03-06 22:00:00\n"
                                   "Notices since the last heartbeat: 2 sent, 1 failed";
    EXPECT_EQ(mail_without_stamps(curl_->message()),
              mail_to("alive@example.com", (std::string(kHeartbeatBody) + facts_text + "\n").c_str()));
    EXPECT_EQ(telegram_text_sent(curl_->config()), std::string(kHeartbeatTelegram) + "\n" + facts_text);

    // the next day counts from after this heartbeat: its own sends are not notices
    monitors[0].alerted = false;
    monitors[3].alerted = false;
    g_clock.day = 8;
    check_heartbeat(sample, settings, notify, &remembered, &facts, &stand_in_clock);
    EXPECT_EQ(telegram_text_sent(curl_->config()),
              std::string(kHeartbeatTelegram) + "\nVersion: " + LOADHAWK_VERSION +
                  "\nUp: 3 d 4 h\nStanding alerts: none\nNotices since the last heartbeat: 0 sent, 0 failed");
}
