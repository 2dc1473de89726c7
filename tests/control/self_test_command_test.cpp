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
              "\nTest result:\nEmail    : not configured\nTelegram : not configured\nWebhook  : not configured\n");
    // the monitor settings file's own message; nothing else of the loaders
    EXPECT_EQ(r.err, "Error: loadhawk_setup.txt not found\n");
    std::size_t offset = 0;
    EXPECT_EQ(read_new_log(&offset),
              "Email test skipped: email not configured\n"
              "Telegram test skipped: telegram not configured\n"
              "Webhook test skipped: webhook not configured\n"
              "***TEST sending : loadhawk notification test\n"
              "Email test not configured\n"
              "Telegram test not configured\n"
              "Webhook test not configured\n");
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
              "\nTest result:\nEmail    : OK\nTelegram : not configured\nWebhook  : not configured\n");
    EXPECT_EQ(r.err, "");
    std::size_t offset = 0;
    EXPECT_EQ(read_new_log(&offset),
              "Send email to ops@example.com, oncall@example.com\n"
              "Email sent to ops@example.com, oncall@example.com\n"
              "Telegram test skipped: telegram not configured\n"
              "Webhook test skipped: webhook not configured\n"
              "***TEST sending : loadhawk notification test\n"
              "Email test OK\n"
              "Telegram test not configured\n"
              "Webhook test not configured\n");
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
              "Testing Email alert...\nSending email alert ...\nEmail command rc=7\n"
              "Email not sent: curl rc=7 (no connection to the server)\nEmail test FAILED\n"
              "\nTesting Telegram alert...\nSending Telegram alert ...\nTelegram command rc=7\n"
              "Telegram not sent: curl rc=7 (no connection to the server)\nTelegram test FAILED\n"
              "\nTesting Webhook alert...\nWebhook not configured\n"
              "\nTest result:\nEmail    : FAILED\nTelegram : FAILED\nWebhook  : not configured\n");
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
              "Webhook test not configured\n");
    EXPECT_EQ(curl_->calls(), "call\ncall\n");
}

// The exit code is 0 only when every configured channel sent; a failed
// send says why on the console.
TEST_F(SelfTestCommand, ExitCodeAndReasonOnTheConsole) {
    struct Row {
        std::string settings;
        int curl_rc;
        int rc;
        const char* console;  // a part of the console output
    };
    const std::string bad_server = std::string(kTelegram) +
        "server : \"file:///etc/passwd\"\nemail : \"a@example.com\"\npassword : \"p\"\nto : \"b@example.com\"\n";
    const Row rows[] = {
        {bad_server, 0, 1,
         "Email not sent: server must be smtp://host[:port] or smtps://host[:port] and nothing else\n"
         "Email test FAILED\n"},
        {bad_server, 0, 1, "Test result:\nEmail    : FAILED\nTelegram : OK\nWebhook  : not configured\n"},
        {kMailOnly, 67, 1, "Email command rc=67\nEmail not sent: curl rc=67 (login denied)\nEmail test FAILED\n"},
        {kTelegram, 127, 1,
         "Telegram not sent: curl rc=127 (curl not found)\nTelegram test FAILED\n"},
        {kTelegram, 127, 1, "Test result:\nEmail    : not configured\nTelegram : FAILED\nWebhook  : not configured\n"},
        {kTelegram, 0, 0, "Test result:\nEmail    : not configured\nTelegram : OK\nWebhook  : not configured\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.settings + " curl rc " + std::to_string(row.curl_rc));
        write_file("loadhawk_setup.txt", "hostid : \"h\"\n");
        write_file("loadhawk_email.txt", row.settings);
        curl_->set_rc(row.curl_rc);
        const Outcome r = run_test();
        EXPECT_EQ(r.rc, row.rc);
        EXPECT_NE(r.out.find(row.console), std::string::npos) << r.out;
    }
}

TEST_F(SelfTestCommand, BothMessagesCarryOneTimestamp) {
    write_file("loadhawk_setup.txt", "hostid : \"h\"\n");
    write_file("loadhawk_email.txt", std::string(kMailOnly) + kTelegram);
    const Outcome r = run_test();
    EXPECT_EQ(r.rc, 0);
    const std::string result = "\nTest result:\nEmail    : OK\nTelegram : OK\nWebhook  : not configured\n";
    ASSERT_GE(r.out.size(), result.size());
    EXPECT_EQ(r.out.substr(r.out.size() - result.size()), result);
    std::smatch mail_time;
    const std::string message = curl_->message();
    ASSERT_TRUE(std::regex_search(message, mail_time, std::regex("\r\nTime: ([^\r]*)\r\n")));
    // the last curl call is Telegram's
    EXPECT_EQ(telegram_text_sent(curl_->config()),
              "[TEST] loadhawk notification test\nHost: " + host_name() + "\nTime: " +
                  mail_time[1].str() + "\nEmail and Telegram settings are working.");
}
