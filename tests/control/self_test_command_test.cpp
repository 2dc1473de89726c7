#include "control/self_test_command.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "notify/email.h"
#include "output/silent_mode.h"
#include "platform/system.h"
#include "support/fake_curl.h"
#include "support/monitor_support.h"
#include "support/test_support.h"

namespace {

constexpr const char* kMailOnly =
    "server : \"smtp://127.0.0.1:2525\"\n"
    "email : \"alerts@example.com\"\n"
    "password : \"s3cret\"\n"
    "to : \"ops@example.com, oncall@example.com\"\n";
constexpr const char* kTelegram =
    "token : \"123:abc\"\n"
    "chat_id : \"-1001\"\n";

std::string host_name() {
    FixedText<128> host;
    if (!plat::computer_name(host.out()) || host.empty()) host.assign("unknown-host");
    return host.c_str();
}

struct Outcome {
    int rc;
    std::string out;
    std::string err;
};

Outcome run_test() {
    ConsoleCapture console;
    const int rc = run_self_test_command();
    return {rc, console.out(), console.err()};
}

}  // namespace

using SelfTestCommand = InTempDirWithCurl;

TEST_F(SelfTestCommand, NoSettingsFilesReportsBothChannelsNotConfigured) {
    const Outcome r = run_test();
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out,
              "Testing Email alert...\nEmail not configured\n"
              "\nTesting Telegram alert...\nTelegram not configured\n"
              "\nTesting Webhook alert...\nWebhook not configured\n"
              "\nTest result:\nEmail    : FAILED\nTelegram : FAILED\nWebhook  : FAILED\n");
    // the monitor settings file's own message; nothing else of the loaders
    EXPECT_EQ(r.err, "Error: loadhawk_setup.txt not found\n");
    std::size_t offset = 0;
    EXPECT_EQ(read_new_log(&offset),
              "Email test skipped: email not configured\n"
              "Telegram test skipped: telegram not configured\n"
              "Webhook test skipped: webhook not configured\n"
              "***TEST sending : loadhawk notification test\n"
              "Email test FAILED\n"
              "Telegram test FAILED\n"
              "Webhook test FAILED\n");
    EXPECT_EQ(curl_->calls(), "");
}

TEST_F(SelfTestCommand, OnlyEmailWorkingIsEnoughForSuccess) {
    write_file("loadhawk_setup.txt", "hostid : \"not-used-by-the-test\"\n");
    write_file("loadhawk_email.txt", kMailOnly);
    const Outcome r = run_test();
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out,
              "Testing Email alert...\nSending email alert ...\nEmail command rc=0\nEmail test OK\n"
              "\nTesting Telegram alert...\nTelegram not configured\n"
              "\nTesting Webhook alert...\nWebhook not configured\n"
              "\nTest result:\nEmail    : OK\nTelegram : FAILED\nWebhook  : FAILED\n");
    EXPECT_EQ(r.err, "");
    std::size_t offset = 0;
    EXPECT_EQ(read_new_log(&offset),
              "Send email to ops@example.com, oncall@example.com\n"
              "Email sent to ops@example.com, oncall@example.com\n"
              "Telegram test skipped: telegram not configured\n"
              "Webhook test skipped: webhook not configured\n"
              "***TEST sending : loadhawk notification test\n"
              "Email test OK\n"
              "Telegram test FAILED\n"
              "Webhook test FAILED\n");
    // the computer's name, not the monitor settings' host label
    const std::regex message(
        "From: alerts@example.com\r\nTo: ops@example.com, oncall@example.com\r\n"
        "Subject: \\[TEST\\] loadhawk notification test\r\n"
        "Date: [^\r]+\r\nMessage-ID: <[^\r]+@example\\.com>\r\nMIME-Version: 1\\.0\r\n"
        "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
        "This is a test message from loadhawk.\r\n\r\n"
        "Host: " + host_name() + "\r\n"
        "Time: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\r\n\r\n"
        "If you received this message, email notification is working correctly.\r\n\r\n");
    EXPECT_TRUE(std::regex_match(curl_->message(), message)) << curl_->message();
    EXPECT_FALSE(file_exists(kMailMessageFile));
}

TEST_F(SelfTestCommand, BothFailingEvenInSilentMode) {
    write_file("loadhawk_setup.txt", "hostid : \"h\"\n");
    write_file("loadhawk_email.txt", std::string(kMailOnly) + kTelegram);
    curl_->set_rc(7);
    // "-s" before "-test" changes nothing: every line still reaches the console
    set_silent_mode(true);
    const Outcome r = run_test();
    set_silent_mode(false);
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out,
              "Testing Email alert...\nSending email alert ...\nEmail command rc=7\nEmail test FAILED\n"
              "\nTesting Telegram alert...\nSending Telegram alert ...\nTelegram command rc=7\n"
              "Telegram test FAILED\n"
              "\nTesting Webhook alert...\nWebhook not configured\n"
              "\nTest result:\nEmail    : FAILED\nTelegram : FAILED\nWebhook  : FAILED\n");
    std::size_t offset = 0;
    EXPECT_EQ(read_new_log(&offset),
              "Send email to ops@example.com, oncall@example.com\n"
              "Email not sent: curl rc=7 (no connection to the server)\n"
              "Send Telegram alert to chat_id -1001\n"
              "Telegram not sent: curl rc=7 (no connection to the server)\n"
              "Webhook test skipped: webhook not configured\n"
              "***TEST sending : loadhawk notification test\n"
              "Email test FAILED\n"
              "Telegram test FAILED\n"
              "Webhook test FAILED\n");
    EXPECT_EQ(curl_->calls(), "call\ncall\n");
}

TEST_F(SelfTestCommand, BothMessagesCarryOneTimestamp) {
    write_file("loadhawk_setup.txt", "hostid : \"h\"\n");
    write_file("loadhawk_email.txt", std::string(kMailOnly) + kTelegram);
    const Outcome r = run_test();
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out.substr(r.out.size() - 60),
              "\nTest result:\nEmail    : OK\nTelegram : OK\nWebhook  : FAILED\n");
    std::smatch mail_time;
    const std::string message = curl_->message();
    ASSERT_TRUE(std::regex_search(message, mail_time, std::regex("\r\nTime: ([^\r]*)\r\n")));
    // the last curl call is Telegram's
    EXPECT_EQ(telegram_text_sent(curl_->config()),
              "[TEST] loadhawk notification test\nHost: " + host_name() + "\nTime: " +
                  mail_time[1].str() + "\nEmail and Telegram settings are working.");
}
