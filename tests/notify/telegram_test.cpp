#include "notify/telegram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "notify/curl_send.h"
#include "output/console.h"
#include "output/event_log.h"
#include "support/fake_curl.h"
#include "support/test_support.h"
#include "text/text_cursor.h"

using plat::Interpreter;

namespace {

std::string encoded(const std::string& source, std::size_t capacity) {
    std::string out(capacity, 'x');
    url_encode(source.c_str(), TextBuffer{out.data(), capacity});
    return out.c_str();
}

NotifySettings bot_settings() {
    NotifySettings s{};
    s.telegram_enabled = 1;
    s.token.assign("123456:AAbb-cc_DD");
    s.chat_id.assign("-1001234567890");
    s.sendtimeout = 30;
    return s;
}

}  // namespace

TEST(UrlEncode, UnreservedStayBlankIsPlusTheRestEscaped) {
    struct Row {
        const char* source;
        const char* expected;
    } const rows[] = {
        {"95% load at 10:00", "95%25+load+at+10%3A00"},
        {"line\nfeed", "line%0Afeed"},
        {"a+b", "a%2Bb"},
        {"@channel", "%40channel"},
        {"-1001234567890", "-1001234567890"},
        {"AZaz09-._~", "AZaz09-._~"},
        {"\xc3\xa9t\xc3\xa9", "%C3%A9t%C3%A9"},
        {"\x01\x7f\x80\xff", "%01%7F%80%FF"},
        {"&=?/#\"'%", "%26%3D%3F%2F%23%22%27%25"},
        {"", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source);
        EXPECT_EQ(encoded(row.source, 64), row.expected);
    }
    char out[8] = "stale";
    url_encode(nullptr, TextBuffer{out, sizeof out});
    EXPECT_STREQ(out, "");
}

TEST(UrlEncode, StopsBeforeACharacterWhoseEscapesWouldPassCapacityMinusTwo) {
    const std::string e = "\xc3\xa9";  // two escapes, six characters
    const std::string han = "\xe6\xbc\xa2";  // three escapes, nine characters
    struct Row {
        std::string source;
        std::size_t capacity;
        std::string expected;
    } const rows[] = {
        {std::string(2044, 'a'), 2048, std::string(2044, 'a')},
        {std::string(2045, 'a'), 2048, std::string(2044, 'a')},
        {std::string(2043, 'a') + e, 2048, std::string(2043, 'a')},
        {std::string(2041, 'a') + e, 2048, std::string(2041, 'a')},
        {std::string(2040, 'a') + e, 2048, std::string(2040, 'a') + "%C3%A9"},   // 2046, whole
        {std::string(2038, 'a') + han, 2048, std::string(2038, 'a')},
        {std::string(2037, 'a') + han, 2048, std::string(2037, 'a') + "%E6%BC%A2"},
        {std::string(2043, 'a') + "\xff\xff", 2048, std::string(2043, 'a') + "%FF"},  // no character: byte by byte
        {"abcdef", 8, "abcd"},
        {"a b", 5, "a"},
        {"abc", 4, ""},
        {"abc", 3, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source.size());
        SCOPED_TRACE(row.capacity);
        const std::string got = encoded(row.source, row.capacity);
        EXPECT_EQ(got, row.expected);
        EXPECT_LE(got.size(), row.capacity >= 2 ? row.capacity - 2 : 0);
    }
}

TEST(TelegramAddress, BaseThenTokenChatAndTextEncoded) {
    NotifySettings s = bot_settings();
    char out[kTelegramAddressCap];
    build_telegram_address(s, "CPU 97.3% >= 90%", TextBuffer{out, sizeof out});
    EXPECT_STREQ(out,
                 "https://api.telegram.org/bot123456%3AAAbb-cc_DD/sendMessage"
                 "?chat_id=-1001234567890&text=CPU+97.3%25+%3E%3D+90%25");
    s.telegram_api.assign("http://127.0.0.1:8081");
    s.chat_id.assign("@chan");
    build_telegram_address(s, "hi", TextBuffer{out, sizeof out});
    EXPECT_STREQ(out, "http://127.0.0.1:8081/bot123456%3AAAbb-cc_DD/sendMessage?chat_id=%40chan&text=hi");
}

TEST(TelegramCommand, OnlyTheConfigurationFileOnTheCommandLine) {
    NotifySettings s = bot_settings();
    char out[kCommandLineCap];
    ASSERT_FALSE(build_telegram_command(s, TextBuffer{out, sizeof out}, Interpreter::posix_sh,
                                        "/dev/null")
                     .found());
    EXPECT_STREQ(out, "curl -s --fail -K \"cpucurlconf.txt\" > /dev/null 2>&1");
    // a base address goes to the configuration file, whatever it holds
    s.telegram_api.assign("http://h/$(touch PWNED)\"%PATH%");
    ASSERT_FALSE(build_telegram_command(s, TextBuffer{out, sizeof out}, Interpreter::cmd, "nul")
                     .found());
    EXPECT_STREQ(out, "curl -s --fail -K \"cpucurlconf.txt\" > nul 2>&1");
    s.telegram_api.assign("-K/etc/passwd");
    const SettingProblem problem =
        build_telegram_command(s, TextBuffer{out, sizeof out}, Interpreter::posix_sh, "/dev/null");
    ASSERT_TRUE(problem.found());
    EXPECT_STREQ(problem.key, "telegram_api");
    EXPECT_STREQ(out, "");
}

TEST(TelegramAddress, DefaultBaseAndTheLongestValuesFit) {
    NotifySettings s = bot_settings();
    s.token.assign(std::string(255, ':').c_str());
    s.chat_id.assign(std::string(255, '@').c_str());
    const std::string text(4000, '%');
    char out[kTelegramAddressCap];
    build_telegram_address(s, text.c_str(), TextBuffer{out, sizeof out});
    const std::string address = out;
    EXPECT_EQ(address.rfind("https://api.telegram.org/bot%3A%3A", 0), 0u);
    // base, "/bot", token, "/sendMessage?chat_id=", chat id, "&text=", text: nothing cut
    EXPECT_EQ(address.size(), 24u + 4 + 510 + 21 + 510 + 6 + 2046);
}

class SendTelegram : public InTempDirWithCurl {
protected:
    std::vector<std::string> log_messages() const {
        std::vector<std::string> messages;
        const std::string log = read_file(kLogFileName);
        std::size_t start = 0;
        while (start < log.size()) {
            const std::size_t end = log.find('\n', start);
            // "YYYY-MM-DD hh:mm:ss " is 20 characters
            messages.push_back(log.substr(start + 20, end - start - 20));
            start = end + 1;
        }
        return messages;
    }
};

TEST_F(SendTelegram, ForegroundPrintsAroundTheRunAndLogsTheStoredChatId) {
    NotifySettings s = bot_settings();
    s.chat_id.assign("@my_channel");
    ConsoleCapture console;
    EXPECT_EQ(send_telegram(&s, "ALERT CPU HIGH\nCPU: 97.3% >= 90%"), 1);
    EXPECT_EQ(console.out(), "Sending Telegram alert ...\nTelegram command rc=0\n");
    EXPECT_EQ(log_messages(), (std::vector<std::string>{"Send Telegram alert to chat_id @my_channel",
                                                        "Telegram sent to chat_id @my_channel"}));
    EXPECT_EQ(curl_->argv(), (std::vector<std::string>{"-s", "--fail", "-K", "cpucurlconf.txt"}));
    // the token is in the file curl read, which is gone afterwards
    EXPECT_EQ(curl_->config(),
              "url = \"https://api.telegram.org/bot123456%3AAAbb-cc_DD/sendMessage"
              "?chat_id=%40my_channel&text=ALERT+CPU+HIGH%0ACPU%3A+97.3%25+%3E%3D+90%25\"\n");
    EXPECT_FALSE(file_exists(kCurlConfigFile));
}

TEST_F(SendTelegram, FailureAndSilentMode) {
    const NotifySettings s = bot_settings();
    curl_->set_rc(22);
    {
        ConsoleCapture console;
        EXPECT_EQ(send_telegram(&s, "x"), 0);
        EXPECT_EQ(console.out(), "Sending Telegram alert ...\nTelegram command rc=22\n"
                                 "Telegram not sent: curl rc=22 (HTTP error from the Bot API)\n");
    }
    {
        ConsoleCapture console;
        curl_->set_rc(0);
        const SilentMode silent(true);
        EXPECT_EQ(send_telegram(&s, "x"), 1);
        EXPECT_EQ(console.out(), "");
    }
    EXPECT_EQ(log_messages(),
              (std::vector<std::string>{"Send Telegram alert to chat_id -1001234567890",
                                        "Telegram not sent: curl rc=22 (HTTP error from the Bot API)",
                                        "Send Telegram alert to chat_id -1001234567890",
                                        "Telegram sent to chat_id -1001234567890"}));
}

TEST_F(SendTelegram, SwitchedOffOrEmptyTextTouchesNothing) {
    NotifySettings off = bot_settings();
    off.telegram_enabled = 0;
    const NotifySettings on = bot_settings();
    ConsoleCapture console;
    EXPECT_EQ(send_telegram(&off, "x"), 0);
    EXPECT_EQ(send_telegram(&on, ""), 0);
    EXPECT_EQ(send_telegram(&on, nullptr), 0);
    EXPECT_EQ(send_telegram(nullptr, "x"), 0);
    EXPECT_EQ(console.out(), "");
    EXPECT_FALSE(file_exists(kLogFileName));
    EXPECT_EQ(curl_->calls(), "");
}

TEST_F(SendTelegram, UnsafeOrCutValueFailsTheSendWithAReason) {
    struct Row {
        void (*spoil)(NotifySettings&);
        const char* reason;
    } const rows[] = {
        {[](NotifySettings& x) { x.telegram_api.assign("ftp://h"); },
         "telegram_api must begin with http:// or https://"},
        {[](NotifySettings& x) { x.too_long = 1u << static_cast<unsigned>(NotifyKey::token); },
         "token longer than 255 characters"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason);
        (void)std::remove(kLogFileName);
        NotifySettings s = bot_settings();
        row.spoil(s);
        ConsoleCapture console;
        EXPECT_EQ(send_telegram(&s, "x"), 0);
        EXPECT_EQ(console.out(), std::string("Sending Telegram alert ...\nTelegram not sent: ") + row.reason + "\n");
        EXPECT_EQ(log_messages(), (std::vector<std::string>{"Send Telegram alert to chat_id -1001234567890",
                                                            std::string("Telegram not sent: ") + row.reason}));
        EXPECT_EQ(curl_->calls(), "");
    }
}
