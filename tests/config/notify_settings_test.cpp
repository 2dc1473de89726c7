#include "config/notify_settings.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "platform/locks.h"
#include "support/test_support.h"

using NotifySettingsFile = InTempDir;

namespace {
const char kEmailOnly[] =
    "server : \"smtp://127.0.0.1:2525\"\n"
    "email : \"bot@example.com\"\n"
    "password : \"pass123456\"\n"
    "to : \"ops@example.com\"\n";

// Loads with silent mode on, as the background monitor does.
bool load_quietly(NotifySettings* settings) {
    const SilentMode silent(true);
    return load_notify_settings(settings);
}
}  // namespace

TEST_F(NotifySettingsFile, MissingFileSwitchesEverythingOff) {
    for (int silent : {0, 1}) {
        const SilentMode mode(silent != 0);
        ConsoleCapture console;
        NotifySettings s;
        s.email_enabled = 1;
        s.server.assign("stale");
        EXPECT_EQ(load_notify_settings(&s), 0);
        EXPECT_EQ(s.email_enabled, 0);
        EXPECT_EQ(s.telegram_enabled, 0);
        EXPECT_EQ(s.heartbeat_enabled, 0);
        EXPECT_TRUE(s.server.empty());
        EXPECT_EQ(console.out(), silent ? "" : "loadhawk_email.txt not found. Email / Telegram alerts disabled.\n");
    }
}

TEST_F(NotifySettingsFile, EmailOnlyScramblesThePasswordAndDefaultsTheSender) {
    write_file(kNotifySettingsFile, kEmailOnly);
    ConsoleCapture console;
    NotifySettings s;
    EXPECT_EQ(load_notify_settings(&s), 1);
    EXPECT_EQ(console.out(), "Email enabled: yes\nTelegram enabled: no\n");
    EXPECT_EQ(s.email_enabled, 1);
    EXPECT_EQ(s.telegram_enabled, 0);
    EXPECT_STREQ(s.from.c_str(), "bot@example.com");
    EXPECT_STREQ(s.password.c_str(), "pass123456");
    EXPECT_STREQ(s.telegram_api.c_str(), "https://api.telegram.org");
    EXPECT_EQ(s.sendtimeout, 120);
    EXPECT_EQ(read_file(kNotifySettingsFile),
              "server : \"smtp://127.0.0.1:2525\"\n"
              "email : \"bot@example.com\"\n"
              "password : \"encry(180001115E406C585458)\"\n"
              "to : \"ops@example.com\"\n");
    EXPECT_FALSE(file_exists(kNotifyTempFile));

    // the next load reads the same password back and leaves the file as it is
    const std::string once = read_file(kNotifySettingsFile);
    NotifySettings again;
    EXPECT_EQ(load_quietly(&again), 1);
    EXPECT_STREQ(again.password.c_str(), "pass123456");
    EXPECT_EQ(read_file(kNotifySettingsFile), once);
}

TEST_F(NotifySettingsFile, ChannelsAndHeartbeatFlags) {
    struct Row {
        const char* file;
        int result, email, telegram, heartbeat;
    };
    const Row rows[] = {
        {"token : \"123:abc\"\nchat_id : \"-100\"\n", 1, 0, 1, 0},
        {"token : \"123:abc\"\n", 0, 0, 0, 0},
        {"chat_id : \"-100\"\n", 0, 0, 0, 0},
        {"server : \"s\"\nemail : \"e\"\n*password : \"p\"\nto : \"t\"\n", 0, 0, 0, 0},
        {"server : \"s\"\nemail : \"e\"\npassword : \"   \"\nto : \"t\"\n", 0, 0, 0, 0},
        {"iamalive : \"a@b\"\n", 0, 0, 0, 1},
        {"iamalive : \"nobody\"\n", 0, 0, 0, 0},
        {"iamalive : \"a@b\"\niamalive : \"nobody\"\n", 0, 0, 0, 1},
        {"*token : \"1\"\n*chat_id : \"2\"\n", 0, 0, 0, 0},
        {"server = \"s\"\nemail = \"e\"\npassword = \"p\"\nto = \"t\"\n", 1, 1, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        write_file(kNotifySettingsFile, row.file);
        NotifySettings s;
        EXPECT_EQ(load_quietly(&s), row.result);
        EXPECT_EQ(s.email_enabled, row.email);
        EXPECT_EQ(s.telegram_enabled, row.telegram);
        EXPECT_EQ(s.heartbeat_enabled, row.heartbeat);
    }
}

TEST_F(NotifySettingsFile, OptionalKeysAndTheirRepairs) {
    write_file(kNotifySettingsFile,
               "telegram_api : \"http://127.0.0.1:8081\"\nsendtimeout : \"5\"\nfrom : \"me@x\"\nemail : \"e@x\"\n");
    NotifySettings s;
    load_quietly(&s);
    EXPECT_STREQ(s.telegram_api.c_str(), "http://127.0.0.1:8081");
    EXPECT_EQ(s.sendtimeout, 5);
    EXPECT_STREQ(s.from.c_str(), "me@x");
    write_file(kNotifySettingsFile, "telegram_api : \"\"\nsendtimeout : \"-1\"\n");
    load_quietly(&s);
    EXPECT_STREQ(s.telegram_api.c_str(), "https://api.telegram.org");
    EXPECT_EQ(s.sendtimeout, 120);
}

TEST_F(NotifySettingsFile, RewriteNormalisesOnlyTheFirstActiveLine) {
    write_file(kNotifySettingsFile,
               "# secrets\r\n"
               "*password : \"disabled\"\r\n"
               "  password = \"first\"   # remark\r\n"
               "password : \"second\"\r\n"
               "token : \"t0k\"\r\n"
               "chat_id : \"42\"");
    NotifySettings s;
    load_quietly(&s);
    EXPECT_STREQ(s.password.c_str(), "second");
    FixedText<kScrambledCap> second, token;
    scramble_secret("second", second.out());
    scramble_secret("t0k", token.out());
    // CRLF became LF, the first active password line got the kept value's
    // scrambled form, the disabled and the later line stay as written
    EXPECT_EQ(read_file(kNotifySettingsFile),
              std::string("# secrets\n"
                          "*password : \"disabled\"\n"
                          "password : \"") + second.c_str() + "\"\n"
              "password : \"second\"\n"
              "token : \"" + token.c_str() + "\"\n"
              "chat_id : \"42\"");
}

TEST_F(NotifySettingsFile, InvalidScrambledValueIsTakenLiterally) {
    write_file(kNotifySettingsFile, "password : \"encry(1)\"\ntoken : \"encry(1B04111G0A06)\"\n");
    NotifySettings s;
    load_quietly(&s);
    EXPECT_STREQ(s.password.c_str(), "encry(1)");
    EXPECT_STREQ(s.token.c_str(), "encry(1B04111G0A06)");
    NotifySettings again;
    load_quietly(&again);
    EXPECT_STREQ(again.password.c_str(), "encry(1)");
    EXPECT_STREQ(again.token.c_str(), "encry(1B04111G0A06)");
}

TEST_F(NotifySettingsFile, TokenTooLongToScrambleStaysPlainAndReadsBack) {
    for (std::size_t length : {252u, 253u, 255u, 300u}) {
        SCOPED_TRACE(length);
        const std::string token(length, 'T');
        const std::string file = "token : \"" + token + "\"\nchat_id : \"1\"\n";
        write_file(kNotifySettingsFile, file);
        NotifySettings s;
        load_quietly(&s);
        const std::string kept = token.substr(0, 255);
        EXPECT_EQ(std::string(s.token.c_str()), kept);
        if (length <= 252) {
            EXPECT_NE(read_file(kNotifySettingsFile), file);
        } else {
            EXPECT_EQ(read_file(kNotifySettingsFile), file);
        }
        NotifySettings again;
        load_quietly(&again);
        EXPECT_EQ(std::string(again.token.c_str()), kept);
    }
}

TEST_F(NotifySettingsFile, PasswordLongerThanItsFieldStaysAsWrittenAndIsMarked) {
    const NotifyKey key = NotifyKey::password;
    const std::uint32_t bit = 1u << static_cast<unsigned>(key);
    for (std::size_t length : {127u, 128u, 201u, 300u}) {
        SCOPED_TRACE(length);
        const std::string file = std::string(kEmailOnly) + "password : \"" + std::string(length, 'p') + "\"\n";
        write_file(kNotifySettingsFile, file);
        NotifySettings s;
        load_quietly(&s);
        EXPECT_EQ(s.too_long, length > 127 ? bit : 0u);
        EXPECT_EQ(read_file(kNotifySettingsFile) == file, length > 127);
        // the first key whose value was cut names the send's refusal
        EXPECT_EQ(first_too_long(s, &key, 1), length > 127 ? key : NotifyKey::none);
    }
}

TEST_F(NotifySettingsFile, RewriteKeepsPermissionsAndNulBytes) {
    const std::string file = std::string("note : \"a\0b\"\n", 13) + "password : \"pw\"\n" + "\xff\xfe\n";
    write_file(kNotifySettingsFile, file);
    ASSERT_EQ(chmod(kNotifySettingsFile, 0600), 0);
    ASSERT_EQ(rewrite_secret_line("password", "pw"), 1);
    struct stat st {};
    ASSERT_EQ(stat(kNotifySettingsFile, &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    FixedText<kScrambledCap> pw;
    scramble_secret("pw", pw.out());
    EXPECT_EQ(read_file(kNotifySettingsFile),
              std::string("note : \"a\0b\"\n", 13) + "password : \"" + pw.c_str() + "\"\n" + "\xff\xfe\n");
}

TEST_F(NotifySettingsFile, RewriteRefusalsLeaveTheFileAlone) {
    EXPECT_EQ(rewrite_secret_line("password", "pw"), 0);  // no file
    EXPECT_FALSE(file_exists(kNotifySettingsFile));
    // a directory in its place is refused before any copy exists
    ASSERT_EQ(mkdir(kNotifySettingsFile, 0700), 0);
    EXPECT_EQ(rewrite_secret_line("password", "pw"), 0);
    struct stat st {};
    ASSERT_EQ(stat(kNotifySettingsFile, &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_FALSE(file_exists(kNotifyTempFile));
    ASSERT_EQ(rmdir(kNotifySettingsFile), 0);
    write_file(kNotifySettingsFile, "password : \"pw\"\n");
    EXPECT_EQ(rewrite_secret_line(nullptr, "pw"), 0);
    EXPECT_EQ(rewrite_secret_line("password", ""), 0);
    EXPECT_EQ(rewrite_secret_line("password", nullptr), 0);
    // the temporary file cannot be created: a directory stands in its place
    ASSERT_EQ(mkdir(kNotifyTempFile, 0700), 0);
    EXPECT_EQ(rewrite_secret_line("password", "pw"), 0);
    ASSERT_EQ(rmdir(kNotifyTempFile), 0);
    EXPECT_EQ(read_file(kNotifySettingsFile), "password : \"pw\"\n");
    EXPECT_FALSE(file_exists(kNotifyTempFile));
}

// Another copy of the program rewriting the same file holds its lock for a
// moment: the rewrite waits for it and then happens. A lock that cannot be
// had at all refuses the rewrite and leaves the file as it was.
TEST_F(NotifySettingsFile, RewriteWaitsForTheLockOfAnotherCopy) {
    struct Row {
        const char* why;
        int held_ms;       // by another process; -1: a directory stands at the lock's name
        bool rewritten;
    };
    const Row rows[] = {{"held briefly by another process", 300, true}, {"not obtainable", -1, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        write_file(kNotifySettingsFile, "password : \"pw\"\n");
        pid_t holder = -1;
        (void)std::remove(kNotifyLockFile);
        if (row.held_ms < 0) {
            ASSERT_EQ(mkdir(kNotifyLockFile, 0700), 0);
        } else {
            int ready[2];
            ASSERT_EQ(pipe(ready), 0);
            holder = fork();
            ASSERT_GE(holder, 0);
            if (holder == 0) {
                plat::FileLock lock{-1};
                const char held = plat::file_lock_acquire(kNotifyLockFile, 0, &lock) == plat::FileLockResult::held;
                (void)!write(ready[1], &held, 1);
                usleep(static_cast<useconds_t>(row.held_ms) * 1000);
                _exit(0);
            }
            close(ready[1]);
            char held = 0;
            const bool told = read(ready[0], &held, 1) == 1;
            close(ready[0]);
            if (!told || held == 0) kill(holder, SIGKILL);
            ASSERT_TRUE(told && held != 0);
        }
        EXPECT_EQ(rewrite_secret_line("password", "pw"), row.rewritten ? 1 : 0);
        if (holder > 0) {
            kill(holder, SIGKILL);
            waitpid(holder, nullptr, 0);
        }
        FixedText<kScrambledCap> pw;
        scramble_secret("pw", pw.out());
        const std::string rewritten = std::string("password : \"") + pw.c_str() + "\"\n";
        EXPECT_EQ(read_file(kNotifySettingsFile), row.rewritten ? rewritten : "password : \"pw\"\n");
        EXPECT_FALSE(file_exists(kNotifyTempFile));
        if (row.held_ms < 0) {
            ASSERT_EQ(rmdir(kNotifyLockFile), 0);
        }
    }
}

// While it lives, no file of this process grows past `bytes`: a write
// beyond fails with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit lowered = previous_;
        lowered.rlim_cur = bytes;
        set_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previous_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool set() const { return set_; }

private:
    rlimit previous_{};
    void (*previous_handler_)(int) = SIG_DFL;
    bool set_ = false;
};

TEST_F(NotifySettingsFile, IncompleteCopyKeepsTheOriginalAndRemovesTheCopy) {
    std::string file = "password : \"pw\"\n";
    while (file.size() < 16384) file += "note : \"a line the copy must carry over whole\"\n";
    write_file(kNotifySettingsFile, file);
    bool rewritten = true;
    {
        FileSizeLimit limit(1024);
        ASSERT_TRUE(limit.set());
        rewritten = rewrite_secret_line("password", "pw");
    }
    EXPECT_FALSE(rewritten);
    EXPECT_EQ(read_file(kNotifySettingsFile), file);
    EXPECT_FALSE(file_exists(kNotifyTempFile));
}

TEST_F(NotifySettingsFile, UnchangedWithoutSecrets) {
    const std::string file = "server : \"s\"\r\nto : \"t\"\r\n";
    write_file(kNotifySettingsFile, file);
    NotifySettings s;
    load_quietly(&s);
    EXPECT_EQ(read_file(kNotifySettingsFile), file);
}
