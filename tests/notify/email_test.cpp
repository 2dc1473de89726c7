#include "notify/email.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <vector>

#include "output/console.h"
#include "output/event_log.h"
#include "platform/locks.h"
#include "platform/transient_files.h"
#include "support/fake_curl.h"
#include "support/monitor_support.h"
#include "support/test_support.h"

using plat::Interpreter;

namespace {

NotifySettings mail_settings() {
    NotifySettings s = mail_account();
    s.from.assign("Load Hawk <alerts@example.com>");
    return s;
}

std::string mail_command(const NotifySettings& s, const char* recipients, Interpreter kind) {
    std::string buf(kCommandLineCap, '\0');
    const SettingProblem problem =
        build_mail_command_for(s, recipients, TextBuffer{buf.data(), buf.size()}, kind);
    EXPECT_FALSE(problem.found()) << problem.key;
    return buf.c_str();
}

constexpr const char* kHead =
    "curl -s smtp://mail.example.com:587 --mail-from \"Load Hawk <alerts@example.com>\" --ssl-reqd"
    " -K \"cpucurlconf.txt\" -T \"cpumailtext.txt\"";

// The log's entries without their timestamps.
std::vector<std::string> log_messages() {
    std::vector<std::string> messages;
    const std::string log = read_file(kLogFileName);
    const std::regex entry(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d ([^\n]*)\n)");
    for (std::sregex_iterator it(log.begin(), log.end(), entry), end; it != end; ++it) {
        messages.push_back((*it)[1]);
    }
    return messages;
}

}  // namespace

TEST(MailCommand, HeadAndOneRecipientOptionPerAddress) {
    const NotifySettings s = mail_settings();
    struct Row {
        const char* recipients;
        std::string tail;
    } const rows[] = {
        {"ops@example.com", " --mail-rcpt \"ops@example.com\""},
        {" a@x.com ,, b@y.com ", " --mail-rcpt \"a@x.com\" --mail-rcpt \"b@y.com\""},
        {",, ,\t, ", ""},
        {"a@x.com,a@x.com", " --mail-rcpt \"a@x.com\" --mail-rcpt \"a@x.com\""},
    };
    for (const Interpreter kind : {Interpreter::posix_sh, Interpreter::cmd}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.recipients);
            EXPECT_EQ(mail_command(s, row.recipients, kind), kHead + row.tail);
        }
    }
}

TEST(MailCommand, RefusedWithoutSettingsOrRecipients) {
    const NotifySettings s = mail_settings();
    char buf[kCommandLineCap] = "stale";
    // no settings: nothing is built and nothing is sent
    EXPECT_FALSE(send_email(nullptr, "a@x", "subject", "body"));
    const plat::Interpreter kind = plat::interpreter();
    build_mail_command_for(s, nullptr, TextBuffer{buf, sizeof buf}, kind);
    EXPECT_STREQ(buf, "");
    text_copy(TextBuffer{buf, sizeof buf}, "stale");
    build_mail_command_for(s, "", TextBuffer{buf, sizeof buf}, kind);
    EXPECT_STREQ(buf, "");
    // the platform's own kind
    build_mail_command_for(s, "a@x", TextBuffer{buf, sizeof buf}, kind);
    EXPECT_EQ(std::string(buf), std::string(kHead) + " --mail-rcpt \"a@x\"");
}

TEST(MailCommand, OnlyTheFirst899CharactersOfTheListAreSplit) {
    const NotifySettings s = mail_settings();
    const std::string first(890, 'a');
    const std::string list = first + ",b@x.example,c@y.example";
    EXPECT_EQ(mail_command(s, list.c_str(), Interpreter::posix_sh),
              kHead + (" --mail-rcpt \"" + first + "\" --mail-rcpt \"b@x.exam\""));
}

TEST(MailCommand, HostileValuesAreQuotedForTheInterpreter) {
    NotifySettings s = mail_settings();
    s.from.assign("a$b%PATH%@x");
    // the password is on no command line: any bytes pass
    s.password.assign("p$(touch PWNED)w%PATH%\\\"\t");
    EXPECT_EQ(mail_command(s, "u`id`@x, 50%@y", Interpreter::posix_sh),
              "curl -s smtp://mail.example.com:587 --mail-from \"a\\$b%PATH%@x\" --ssl-reqd"
              " -K \"cpucurlconf.txt\" -T \"cpumailtext.txt\""
              " --mail-rcpt \"u\\`id\\`@x\" --mail-rcpt \"50%@y\"");
    EXPECT_EQ(mail_command(s, "u`id`@x, 50%@y", Interpreter::cmd),
              "curl -s smtp://mail.example.com:587 --mail-from \"a$b\"%\"PATH\"%\"@x\" --ssl-reqd"
              " -K \"cpucurlconf.txt\" -T \"cpumailtext.txt\""
              " --mail-rcpt \"u`id`@x\" --mail-rcpt \"50\"%\"@y\"");
}

TEST(MailCommand, TlsRequiredWhenThePasswordLeavesTheMachine) {
    struct Row {
        const char* server;
        const char* smtptls;
        const char* option;
    } const rows[] = {
        {"smtp://mail.example.com:587", "", "--ssl-reqd"},
        {"smtps://mail.example.com:465", "", "--ssl-reqd"},
        {"smtp://[2001:db8::1]:25", "", "--ssl-reqd"},
        {"smtp://mail.example.com:587", "try", "--ssl"},
        {"smtp://127.0.0.1:2525", "", "--ssl"},
        {"smtp://localhost", "", "--ssl"},
        {"smtps://[::1]:465", "", "--ssl"},
        // the host as curl reads it: only its loopback forms keep --ssl
        {"smtp://127.0.0.010", "", "--ssl"},
        {"smtp://0x7f.1", "", "--ssl"},
        {"smtp://127.1", "", "--ssl"},
        {"smtp://[::ffff:127.0.0.1]", "", "--ssl"},
        {"smtp://localhost.", "", "--ssl-reqd"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.server);
        NotifySettings s = mail_settings();
        s.server.assign(row.server);
        s.smtptls.assign(row.smtptls);
        EXPECT_STREQ(mail_tls_option(s), row.option);
        const std::string command = mail_command(s, "a@x", Interpreter::posix_sh);
        EXPECT_NE(command.find(std::string(" ") + row.option + " -K "), std::string::npos) << command;
    }
    // no password leaves the machine: nothing to protect
    NotifySettings s = mail_settings();
    s.password.clear();
    EXPECT_STREQ(mail_tls_option(s), "--ssl");
    // curl would look this one up as a name: never counted as this machine
    s = mail_settings();
    s.server.assign("smtp://127.0.0.09");
    EXPECT_STREQ(mail_tls_option(s), "--ssl-reqd");
}

TEST(MailCommand, UnsafeValuesLeaveTheCommandEmpty) {
    struct Row {
        void (*spoil)(NotifySettings&);
        const char* recipients;
        Interpreter kind;
        const char* key;
    } const rows[] = {
        {[](NotifySettings& x) { x.server.assign("smtp://h;touch PWNED"); }, "a@x", Interpreter::posix_sh, "server"},
        {[](NotifySettings& x) { x.server.assign("smtp://h&calc"); }, "a@x", Interpreter::cmd, "server"},
        {[](NotifySettings& x) { x.server.assign("smtp://mail.example.com -T /etc/shadow"); }, "a@x", Interpreter::posix_sh, "server"},
        {[](NotifySettings& x) { x.from.assign("a\"b"); }, "a@x", Interpreter::cmd, "from"},
        {[](NotifySettings&) {}, "a@x, b\"c@y", Interpreter::cmd, "recipient list"},
        {[](NotifySettings&) {}, "a@x,\rBcc: c@evil", Interpreter::posix_sh, "recipient list"},
        {[](NotifySettings& x) { x.from.assign("a@b.example\rBcc: x@evil.example"); }, "a@x", Interpreter::posix_sh, "from"},
        {[](NotifySettings& x) { x.email.assign("a@b\r"); x.from.assign("f@b"); }, "a@x", Interpreter::posix_sh, "email"},
        {[](NotifySettings& x) { x.server.assign("smtp://127.0.0.09"); }, "a@x", Interpreter::posix_sh, "server"},
        // a value longer than its field is never sent cut
        {[](NotifySettings& x) { x.too_long = 1u << static_cast<unsigned>(NotifyKey::password); }, "a@x", Interpreter::posix_sh, "password"},
        {[](NotifySettings& x) { x.too_long = 1u << static_cast<unsigned>(NotifyKey::to); }, "a@x", Interpreter::cmd, "to"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        NotifySettings s = mail_settings();
        row.spoil(s);
        char buf[kCommandLineCap] = "stale";
        const SettingProblem problem =
            build_mail_command_for(s, row.recipients, TextBuffer{buf, sizeof buf}, row.kind);
        ASSERT_TRUE(problem.found());
        EXPECT_STREQ(problem.key, row.key);
        EXPECT_STREQ(buf, "");
    }
}

TEST(MailRecipients, EachPartIsCutWhereTheCommandIsFull) {
    // a command already near its 8191-character limit
    const std::string option = " --mail-rcpt \"abc@x\"";  // 20 characters
    for (std::size_t room : {0u, 1u, 13u, 14u, 19u, 20u, 21u, 40u}) {
        SCOPED_TRACE(room);
        std::string buf(kCommandLineCap, '\0');
        const std::string filler(kCommandLineCap - 1 - room, 'f');
        text_copy(TextBuffer{buf.data(), buf.size()}, filler.c_str());
        EXPECT_TRUE(append_mail_recipients(TextBuffer{buf.data(), buf.size()}, "abc@x, second@y",
                                           Interpreter::posix_sh));
        const std::string both = option + " --mail-rcpt \"second@y\"";
        EXPECT_EQ(std::string(buf.c_str()), filler + both.substr(0, room));
    }
}

using MailMessage = InTempDir;

TEST_F(MailMessage, HeaderLinesAndBodyWithCarriageReturnLineFeeds) {
    ASSERT_TRUE(write_mail_message("m.txt", "a@x.example", " b@y ,, c@z", "CPU HIGH 97.3%",
                                   "line one\nline two\n\nend"));
    const std::string first = read_file("m.txt");
    EXPECT_EQ(mail_without_stamps(first),
              std::string("From: a@x.example\r\nTo:  b@y ,, c@z\r\nSubject: CPU HIGH 97.3%\r\n") +
                  kMailHeadsAfterDate + "line one\r\nline two\r\n\r\nend\r\n");
    ASSERT_TRUE(write_mail_message("m.txt", "a@x.example", "b@y", nullptr, nullptr));
    const std::string second = read_file("m.txt");
    EXPECT_EQ(mail_without_stamps(second),
              std::string("From: a@x.example\r\nTo: b@y\r\nSubject: \r\n") + kMailHeadsAfterDate + "\r\n");
    // each message its own id, with the sender's domain
    const std::regex id("\r\nMessage-ID: (<[^>]*@x\\.example>)\r\n");
    std::smatch a, b;
    ASSERT_TRUE(std::regex_search(first, a, id));
    ASSERT_TRUE(std::regex_search(second, b, id));
    EXPECT_NE(a[1], b[1]);
    // a follow-up carries the id it is given and names the one it answers
    ASSERT_TRUE(write_mail_message("m.txt", "a@x.example", "b@y", "s", "b", "<2@x>", a[1].str().c_str()));
    const std::string follow_up = read_file("m.txt");
    EXPECT_NE(follow_up.find("\r\nMessage-ID: <2@x>\r\nIn-Reply-To: " + a[1].str() + "\r\nReferences: " +
                                 a[1].str() + "\r\nMIME-Version: 1.0\r\n"),
              std::string::npos);
    // a subject beyond ASCII is encoded
    ASSERT_TRUE(write_mail_message("m.txt", "a@x", "b@y", "B\xc3\xbcro", "x"));
    EXPECT_NE(read_file("m.txt").find("\r\nSubject: =?UTF-8?B?QsO8cm8=?=\r\n"), std::string::npos);
    plat::remove_transient_file("m.txt");
    EXPECT_FALSE(write_mail_message("no-such-dir/m.txt", "a@x", "b@y", "s", "b"));
}

TEST_F(MailMessage, CurlConfigurationQuotedByCurlsRules) {
    struct Row {
        const char* value;
        const char* line;
    } const rows[] = {
        {"alerts@example.com:s3cret", "user = \"alerts@example.com:s3cret\"\n"},
        {"a\"b\\c", "user = \"a\\\"b\\\\c\"\n"},
        {"tab\tlf\ncr\rvt\v", "user = \"tab\\tlf\\ncr\\rvt\\v\"\n"},
        {"$x %PATH% `id` # caf\xc3\xa9 \x01", "user = \"$x %PATH% `id` # caf\xc3\xa9 \x01\"\n"},
        {"", "user = \"\"\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        ASSERT_TRUE(write_curl_config("k.cfg", "user", row.value));
        EXPECT_EQ(read_file("k.cfg"), row.line);
        plat::remove_transient_file("k.cfg");
    }
}

using SendEmail = InTempDirWithCurl;

TEST_F(SendEmail, ForegroundPrintsAroundTheRunAndLogsTheRecipients) {
    const NotifySettings s = mail_settings();
    ConsoleCapture console;
    EXPECT_EQ(send_email(&s, " a@x.com ,, b@y.com", "Subject line", "Body\nsecond line"), 1);
    EXPECT_EQ(console.out(), "Sending email alert ...\nEmail command rc=0\n");
    EXPECT_EQ(log_messages(), (std::vector<std::string>{"Send email to  a@x.com ,, b@y.com",
                                                        "Email sent to  a@x.com ,, b@y.com"}));
    EXPECT_EQ(curl_->argv(),
              (std::vector<std::string>{"-s", "smtp://mail.example.com:587", "--mail-from",
                                        "Load Hawk <alerts@example.com>", "--ssl-reqd", "-K",
                                        "cpucurlconf.txt", "-T", "cpumailtext.txt",
                                        "--mail-rcpt", "a@x.com", "--mail-rcpt", "b@y.com"}));
    // curl found the login and the message in the working directory;
    // afterwards both are gone
    EXPECT_EQ(curl_->config(), "user = \"alerts@example.com:s3cret\"\n");
    EXPECT_EQ(mail_without_stamps(curl_->message()),
              std::string("From: Load Hawk <alerts@example.com>\r\nTo:  a@x.com ,, b@y.com\r\n"
                          "Subject: Subject line\r\n") +
                  kMailHeadsAfterDate + "Body\r\nsecond line\r\n");
    EXPECT_FALSE(file_exists(kMailMessageFile));
    EXPECT_FALSE(file_exists(kCurlConfigFile));
}

TEST_F(SendEmail, FailureAndSilentMode) {
    const NotifySettings s = mail_settings();
    curl_->set_rc(67);
    {
        ConsoleCapture console;
        EXPECT_EQ(send_email(&s, "a@x", "S", "B"), 0);
        // the code's meaning on the console as in the log
        EXPECT_EQ(console.out(),
                  "Sending email alert ...\nEmail command rc=67\nEmail not sent: curl rc=67 (login denied)\n");
    }
    EXPECT_FALSE(file_exists(kMailMessageFile));
    {
        ConsoleCapture console;
        curl_->set_rc(0);
        const SilentMode silent(true);
        EXPECT_EQ(send_email(&s, "a@x", "S", "B"), 1);
        EXPECT_EQ(console.out(), "");
    }
    EXPECT_FALSE(file_exists(kMailMessageFile));
    // the outcome is logged in silent mode too
    EXPECT_EQ(log_messages(), (std::vector<std::string>{"Send email to a@x",
                                                        "Email not sent: curl rc=67 (login denied)",
                                                        "Send email to a@x", "Email sent to a@x"}));
    EXPECT_EQ(curl_->calls(), "call\ncall\n");
}

TEST_F(SendEmail, SwitchedOffOrWithoutRecipientsTouchesNothing) {
    NotifySettings off = mail_settings();
    off.email_enabled = 0;
    const NotifySettings on = mail_settings();
    ConsoleCapture console;
    EXPECT_EQ(send_email(&off, "a@x", "S", "B"), 0);
    EXPECT_EQ(send_email(&on, "", "S", "B"), 0);
    EXPECT_EQ(send_email(&on, nullptr, "S", "B"), 0);
    EXPECT_EQ(send_email(nullptr, "a@x", "S", "B"), 0);
    EXPECT_EQ(console.out(), "");
    EXPECT_FALSE(file_exists(kLogFileName));
    EXPECT_FALSE(file_exists(kMailMessageFile));
    EXPECT_EQ(curl_->calls(), "");
}

TEST_F(SendEmail, ListWithoutAddressesStillRunsCurl) {
    const NotifySettings s = mail_settings();
    ConsoleCapture console;
    EXPECT_EQ(send_email(&s, " , ,", nullptr, nullptr), 1);
    ASSERT_EQ(curl_->argv().size(), 9u);
    EXPECT_EQ(curl_->argv().back(), "cpumailtext.txt");
    EXPECT_EQ(mail_without_stamps(curl_->message()),
              std::string("From: Load Hawk <alerts@example.com>\r\nTo:  , ,\r\nSubject: \r\n") +
                  kMailHeadsAfterDate + "\r\n");
}

TEST_F(SendEmail, MessageThatCannotBeWrittenIsNeverSent) {
    const NotifySettings s = mail_settings();
    // something that is not a file stands at the message's name
    ASSERT_EQ(mkdir(kMailMessageFile, 0700), 0);
    ConsoleCapture console;
    EXPECT_EQ(send_email(&s, "a@x", "S", "B"), 0);
    EXPECT_EQ(console.out(),
              "Sending email alert ...\nEmail not sent: message file could not be written completely\n");
    EXPECT_EQ(log_messages(), (std::vector<std::string>{
                                  "Send email to a@x",
                                  "Email not sent: message file could not be written completely"}));
    EXPECT_EQ(curl_->calls(), "");
    EXPECT_FALSE(file_exists(kCurlConfigFile));
}

TEST_F(SendEmail, UnsafeServerFailsTheSendWithAReason) {
    NotifySettings s = mail_settings();
    s.server.assign("smtp://h;touch PWNED");
    {
        ConsoleCapture console;
        EXPECT_EQ(send_email(&s, "a@x", "S", "B"), 0);
        EXPECT_EQ(console.out(),
                  "Sending email alert ...\n"
                  "Email not sent: server must be smtp://host[:port] or smtps://host[:port] and"
                  " nothing else\n");
    }
    {
        ConsoleCapture console;
        const SilentMode silent(true);
        EXPECT_EQ(send_email(&s, "a@x", "S", "B"), 0);
        EXPECT_EQ(console.out(), "");
    }
    const std::vector<std::string> log = log_messages();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0], "Send email to a@x");
    EXPECT_EQ(log[1].rfind("Email not sent: server must be", 0), 0u) << log[1];
    EXPECT_EQ(log[3], log[1]);
    EXPECT_EQ(curl_->calls(), "");
    EXPECT_FALSE(file_exists(kMailMessageFile));
    EXPECT_FALSE(file_exists("PWNED"));
}

TEST_F(SendEmail, WaitsForAnotherProcessHoldingTheMailLock) {
    // a second copy of the program in this directory is in the middle of a send
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        close(release[1]);
        plat::FileLock lock{};
        if (plat::file_lock_acquire(kSendLockFile, 5000, &lock) != plat::FileLockResult::held) _exit(2);
        char c = 'y';
        if (write(ready[1], &c, 1) != 1) _exit(3);
        (void)read(release[0], &c, 1);
        usleep(300 * 1000);
        // its send ends: the mark goes down before the lock is given back
        write_file("released.mark", "");
        plat::file_lock_release(&lock);
        _exit(0);
    }
    close(ready[1]);
    close(release[0]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    curl_->mark_when_exists("released.mark");
    close(release[1]);  // the child now holds on for a moment, then lets go
    const NotifySettings s = mail_settings();
    ConsoleCapture console;
    EXPECT_EQ(send_email(&s, "a@x", "S", "B"), 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // curl ran only after the other holder had finished
    EXPECT_EQ(curl_->calls(), "marked\n");
}
