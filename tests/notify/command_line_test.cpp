#include "notify/command_line.h"

#include <gtest/gtest.h>

#include <string>

#include "notify/channels.h"
#include "notify/shell_command.h"
#include "support/test_support.h"

using plat::Interpreter;

namespace {

std::string quoted(const char* value, Interpreter kind, std::size_t cap = 256) {
    std::string buf(cap, 'x');
    buf[0] = '\0';
    EXPECT_TRUE(append_quoted_argument(TextBuffer{buf.data(), cap}, value, kind));
    return std::string(buf.c_str());
}

// Values an attacker (or an unlucky user) might put into the settings file.
const char* const kHostileValues[] = {
    "p$(touch PWNED)w",
    "a`touch PWNED`b",
    "x\"; touch PWNED; echo \"",
    "$HOME and ${PATH}",
    "back\\slash\\",
    "\\\"",
    "100% & 50%",
    "%PATH%",
    "a\\%b",
    "%%",
    "& | < > ^ ( ) ; ' !",
    "tab\there",
    "line\nfeed",
    "\xc3\xa9t\xc3\xa9 \xff",
};

}  // namespace

TEST(QuotedArgument, OrdinaryValuesStandUnchangedInQuotes) {
    for (const Interpreter kind : {Interpreter::posix_sh, Interpreter::cmd}) {
        EXPECT_EQ(quoted("alerts@example.com", kind), "\"alerts@example.com\"");
        EXPECT_EQ(quoted("loadhawk <alerts@example.com>", kind),
                  "\"loadhawk <alerts@example.com>\"");
        EXPECT_EQ(quoted("user@example.com:s3cr3t-pass_word.~+", kind),
                  "\"user@example.com:s3cr3t-pass_word.~+\"");
        EXPECT_EQ(quoted("", kind), "\"\"");
        EXPECT_EQ(quoted(nullptr, kind), "\"\"");
    }
}

TEST(QuotedArgument, ShellEscapesBackslashQuoteDollarAndBackquote) {
    struct Row {
        const char* value;
        const char* expected;
    } const rows[] = {
        {"p$(touch PWNED)w", R"("p\$(touch PWNED)w")"},
        {"a`id`b", R"("a\`id\`b")"},
        {R"(say "hi")", R"("say \"hi\"")"},
        {R"(back\slash\)", R"("back\\slash\\")"},
        {"100% & ; | < > ' !", "\"100% & ; | < > ' !\""},
        {"line\nfeed", "\"line\nfeed\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(quoted(row.value, Interpreter::posix_sh), row.expected);
    }
}

TEST(QuotedArgument, CmdGuardsPercentSignsAndBackslashesBeforeQuotes) {
    struct Row {
        const char* value;
        const char* expected;
    } const rows[] = {
        {"100%", R"("100"%"")"},
        {"%PATH%", R"(""%"PATH"%"")"},
        {"%%", R"(""%""%"")"},
        {R"(a\%b)", R"("a\\"%"b")"},          // the backslash before our quote is doubled
        {R"(tail\\)", R"("tail\\\\")"},       // so is a run before the closing quote
        {R"(mid\dle)", R"("mid\dle")"},       // elsewhere backslashes stay single
        {"& | < > ^ ( ) $ `", "\"& | < > ^ ( ) $ `\""},
        {"p$(touch PWNED)w", "\"p$(touch PWNED)w\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(quoted(row.value, Interpreter::cmd), row.expected);
    }
}

TEST(QuotedArgument, CmdRefusesQuotesAndControlCharacters) {
    for (const char* value : {"a\"b", "line\nfeed", "tab\there", "cr\r", "\x01", "\x1f"}) {
        SCOPED_TRACE(value);
        EXPECT_NE(quoted_value_problem(value, Interpreter::cmd), nullptr);
        EXPECT_EQ(quoted_value_problem(value, Interpreter::posix_sh), nullptr);
        char buf[32] = "keep";
        EXPECT_FALSE(append_quoted_argument(TextBuffer{buf, sizeof buf}, value, Interpreter::cmd));
        EXPECT_STREQ(buf, "keep");
    }
    EXPECT_EQ(quoted_value_problem("\x7f \x80 \xff % ^", Interpreter::cmd), nullptr);
}

TEST(QuotedArgument, CutWhereTheBufferIsFull) {
    // appends after what the buffer holds, stopping at capacity - 1
    char buf[10] = "ab";
    EXPECT_TRUE(append_quoted_argument(TextBuffer{buf, sizeof buf}, "cdefghijk", Interpreter::cmd));
    EXPECT_STREQ(buf, "ab\"cdefgh");
}

using QuotedRoundTrip = InTempDir;

TEST_F(QuotedRoundTrip, ShellHandsEveryHostileValueOnUnchanged) {
    for (const char* value : kHostileValues) {
        SCOPED_TRACE(value);
        std::string command(1024, '\0');
        TextBuffer out{command.data(), command.size()};
        text_copy(out, "printf %s ");
        ASSERT_TRUE(append_quoted_argument(out, value, Interpreter::posix_sh));
        text_append(out, " > value.bin");
        ASSERT_EQ(run_shell_command(command.c_str(), 30), 0) << command.c_str();
        EXPECT_EQ(read_file("value.bin"), value);
        EXPECT_FALSE(file_exists("PWNED"));
    }
}

TEST(ServerValue, OneSmtpAddressAndNothingElse) {
    struct Row {
        const char* server;
        bool valid;
        bool loopback;
    } const rows[] = {
        {"smtp://mail.example.com:587", true, false},
        {"smtps://mail.example.com:465/", true, false},
        {"SMTPS://Mail-1.example_x.com", true, false},
        {"smtp://127.0.0.1:2525", true, true},
        {"smtp://localhost:25", true, true},
        {"smtp://LocalHost", true, true},
        {"smtps://[::1]:465", true, true},
        {"smtp://[2001:db8::1]:25", true, false},
        {"smtp://128.0.0.1", true, false},
        {"smtp://127.0.0.1.example.com", true, false},
        // hosts as curl reads them: numbers in octal, hex, fewer than four
        {"smtp://127.0.0", true, true},
        {"smtp://127.1", true, true},
        {"smtp://0x7f.1", true, true},
        {"smtp://127.0.0.010", true, true},
        {"smtp://2130706433", true, true},
        {"smtp://[::ffff:127.0.0.1]", true, true},
        {"smtp://[0:0:0:0:0:0:0:1]", true, true},
        {"smtp://[::ffff:10.0.0.1]", true, false},
        {"smtp://[::127.0.0.1]", true, false},
        {"smtp://localhost.", true, false},  // curl asks the resolver for it
        {"smtp://mail.example.com.", true, false},
        {"smtp://0177.0.0.1", true, true},
        {"smtp://127.0.0.09", false, false},  // not octal: curl would look it up as a name
        {"smtp://127.0.0.099", false, false},
        {"smtp://999.1.1.1", false, false},
        {"smtp://127.0.0.1.", false, false},
        {"smtp://0x", false, false},
        {"smtp://1.2.3.4.5", false, false},
        {"smtp://...", false, false},
        {"smtp://.", false, false},
        {"smtp://[:]", false, false},
        {"smtp://[1::2::3]", false, false},
        {"smtp://[::1%25eth0]", false, false},
        {"smtp://-oops", false, false},
        {"smtp://a..b", false, false},
        {"", true, false},  // no server: the channel is off
        {"smtp://user@host_name-1.example", false, false},
        {"smtp://mail.example.com -T /etc/shadow", false, false},
        {"file:///etc/passwd", false, false},
        {"http://mail.example.com", false, false},
        {"smtp://", false, false},
        {"smtp://[]:25", false, false},
        {"smtp://h:", false, false},
        {"smtp://h:0", false, false},
        {"smtp://h:65536", false, false},
        {"smtp://h/path", false, false},
        {"smtp://h?x=1", false, false},
        {"smtp://h;touch PWNED", false, false},
        {"smtp://%PATH%", false, false},
        {"smtp://h\tx", false, false},
        {"smtp://\xc3\xa9", false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.server);
        EXPECT_EQ(server_value_problem(row.server) == nullptr, row.valid);
        EXPECT_EQ(server_is_loopback(row.server), row.loopback);
    }
    EXPECT_EQ(smtptls_problem(""), nullptr);
    EXPECT_EQ(smtptls_problem("try"), nullptr);
    EXPECT_STREQ(smtptls_problem("TRY"), "must be \"try\" or left out");
}

TEST(RecipientSplit, AddressesInListOrderWithoutBlanks) {
    struct Row {
        const char* list;
        std::vector<std::string> addresses;
    } const rows[] = {
        {" a@x.com ,, b@y.com ", {"a@x.com", "b@y.com"}},
        {",,, , ,", {}},
        {"", {}},
        {"\ta@x\r\n,\v\fb@y", {"a@x", "b@y"}},
        {"a@x,a@x", {"a@x", "a@x"}},
        {"\xa0" "a@x\xa0", {"\xa0" "a@x\xa0"}},  // no byte of 128 or above is white space
        {"first last@x, second", {"first last@x", "second"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.list);
        FixedText<kRecipientWorkCap> work;
        work.assign(row.list);
        char* cursor = work.buf;
        std::vector<std::string> got;
        while (const char* address = next_recipient(&cursor)) got.emplace_back(address);
        EXPECT_EQ(got, row.addresses);
    }
}

TEST(SettingValue, EachChannelKeyRefusesWhatCannotBePassed) {
    struct Row {
        const char* key;
        std::string value;
        Interpreter kind;
        bool refused;
    } const rows[] = {
        {"server", "smtp://mail.example.com:587", Interpreter::cmd, false},
        {"server", "", Interpreter::cmd, false},
        {"server", "smtp://h;touch PWNED", Interpreter::posix_sh, true},
        {"server", "file:///etc/passwd", Interpreter::cmd, true},
        {"from", "alerts@example.com", Interpreter::cmd, false},
        {"from", "a\"b", Interpreter::cmd, true},
        {"smtptls", "never", Interpreter::posix_sh, true},
        {"to", "ops@example.com, oncall@example.com", Interpreter::cmd, false},
        {"to", "a@x, b\"@y", Interpreter::cmd, true},
        // tabs around an address are header white space; any other control
        // character would start a header line of its own, on every platform
        {"to", "\ta@x\t,\tb@y", Interpreter::cmd, false},
        {"to", "a@x,\rBcc: c@evil", Interpreter::posix_sh, true},
        {"iamalive", "a@x\x01", Interpreter::cmd, true},
        {"iamalive", "a@x\rBcc: c@evil", Interpreter::posix_sh, true},
        {"from", "a@b.example\rBcc: x@evil.example", Interpreter::posix_sh, true},
        {"email", "a@b.example\r", Interpreter::posix_sh, true},
        {"email", "a@b\x7f", Interpreter::cmd, true},
        // a value longer than its field, a secret counted in plain
        {"password", std::string(127, 'p'), Interpreter::cmd, false},
        {"password", std::string(128, 'p'), Interpreter::cmd, true},
        {"token", std::string(256, 't'), Interpreter::cmd, true},
        {"chat_id", std::string(256, '1'), Interpreter::cmd, true},
        {"server", "smtp://" + std::string(60, 'a') + "." + std::string(60, 'b') + "." + std::string(60, 'c') + ".example.com", Interpreter::cmd, true},
        {"from", std::string(190, 'a') + "@example.c", Interpreter::cmd, true},
        {"to", std::string(790, 'a') + "@example.c", Interpreter::cmd, true},
        {"iamalive", std::string(789, 'a') + "@example.c", Interpreter::cmd, false},
        {"telegram_api", "https://" + std::string(192, 'a'), Interpreter::cmd, true},
        {"telegram_api", "http://127.0.0.1:8080", Interpreter::cmd, false},
        {"telegram_api", "HTTPS://api.example", Interpreter::cmd, false},  // the scheme ignores case
        {"telegram_api", "", Interpreter::cmd, false},
        {"telegram_api", "-o/tmp/x", Interpreter::posix_sh, true},
        {"telegram_api", "file:///etc/passwd", Interpreter::cmd, true},
        // the login, the password and the Bot API address go to curl's
        // configuration file, where any byte passes
        {"email", "a\"b%c", Interpreter::cmd, false},
        {"password", "p%a\"$s`s\\\t", Interpreter::cmd, false},
        {"telegram_api", "https://h/\"x\t", Interpreter::cmd, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.key) + " : " + row.value);
        EXPECT_EQ(setting_value_problem(row.key, row.value.c_str(), row.kind) != nullptr, row.refused);
    }
}

TEST(SendTimeout, PositiveValueOrTheDefault) {
    NotifySettings s{};
    EXPECT_EQ(send_timeout_of(s), 120u);
    s.sendtimeout = -5;
    EXPECT_EQ(send_timeout_of(s), 120u);
    s.sendtimeout = 7;
    EXPECT_EQ(send_timeout_of(s), 7u);
}
