#include "control/pid_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "control/monitor_start.h"
#include "platform/files.h"
#include "support/liveness_child.h"
#include "support/test_support.h"

namespace {

std::string own_pid_line() { return std::to_string(plat::own_pid()) + "\n"; }

}  // namespace

TEST(PidText, FirstNumberAsPercentLuReadsIt) {
    struct Row {
        const char* text;
        std::uint64_t pid;
    };
    const Row rows[] = {
        {"1234\n", 1234},
        {"1234\r\n", 1234},
        {" \t\r\n 77 trailing words", 77},
        {"12abc", 12},
        {"+9", 9},
        {"0\n", 0},
        {"-0", 0},
        {"", 0},
        {"abc 12", 0},
        {"- 5", 0},
        {"-5", UINT64_MAX},
        {"18446744073709551615", UINT64_MAX},
        {"18446744073709551616", UINT64_MAX},
        {"99999999999999999999999999", UINT64_MAX},
        {"4294967296", 4294967296ULL},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(parse_pid_text(row.text), row.pid);
    }
    EXPECT_EQ(parse_pid_text(nullptr), 0u);
}

using Liveness = InTempDir;

// The program file by identity and the working directory: a twin (a fork of
// this test program) is this program; another directory's twin is not ours.
TEST_F(Liveness, SameProgramFileInOurDirectory) {
    using plat::ProcessCheck;
    EXPECT_EQ(plat::check_process(plat::own_pid()), ProcessCheck::same_program);
    ChildProcess twin;
    ASSERT_TRUE(start_twin(&twin));
    const auto twin_pid = static_cast<std::uint32_t>(twin.pid());
    EXPECT_EQ(plat::check_process(twin_pid), ProcessCheck::same_program);
    ASSERT_EQ(chdir(".."), 0);
    EXPECT_EQ(plat::check_process(twin_pid), ProcessCheck::elsewhere);
    ASSERT_EQ(chdir(dir().c_str()), 0);
    twin.stop();
    EXPECT_EQ(plat::check_process(twin_pid), ProcessCheck::gone);

    ChildProcess sleeper;
    ASSERT_TRUE(start_sleeper(&sleeper));
    EXPECT_EQ(plat::check_process(static_cast<std::uint32_t>(sleeper.pid())), ProcessCheck::other_program);
    // a twin that has ended but is not reaped yet runs no more
    ChildProcess zombie;
    ASSERT_TRUE(start_twin(&zombie));
    make_zombie(zombie);
    EXPECT_EQ(plat::check_process(static_cast<std::uint32_t>(zombie.pid())), ProcessCheck::gone);
    // beyond pid_t: never handed to kill(), where -1 means every process
    for (const std::uint32_t pid : {0u, 4294967295u, 2147483648u}) {
        EXPECT_EQ(plat::check_process(pid), ProcessCheck::gone);
    }
}

using PidGuard = InTempDir;

TEST_F(PidGuard, NoNumberZeroOrStalePidIsOverwrittenWithOurs) {
    ChildProcess sleeper;
    ASSERT_TRUE(start_sleeper(&sleeper));
    ChildProcess gone;
    ASSERT_TRUE(start_twin(&gone));
    const std::string gone_pid = std::to_string(gone.pid());
    gone.stop();
    struct Row {
        const char* why;
        bool exists;
        std::string content;
    };
    const Row rows[] = {
        {"no pid file", false, ""},
        {"empty file", true, ""},
        {"zero", true, "0\n"},
        {"garbage", true, "not a pid\n"},
        {"stale pid of an ended process", true, gone_pid + "\n"},
        {"pid of a live unrelated program", true, std::to_string(sleeper.pid()) + "\r\n"},
        {"our own pid, left by an earlier run", true, own_pid_line()},
        {"negative", true, "-42\n"},
        {"beyond 32 bits", true, "4294967297\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        (void)plat::delete_file(kPidFileName);
        if (row.exists) write_file(kPidFileName, row.content);
        EXPECT_EQ(take_pid_file(plat::FileLockResult::held), PidFileTake::taken);
        EXPECT_EQ(read_file(kPidFileName), own_pid_line());
    }
    // the unrelated program was left alone
    EXPECT_FALSE(has_ended(sleeper.pid()));
}

TEST_F(PidGuard, LiveLoadhawkKeepsItsPidFile) {
    // without the run lock of its own, a start trusts the lock that another
    // monitor holds (here this test's) and the process the pid file names
    plat::FileLock lock{-1};
    ASSERT_EQ(plat::file_lock_acquire(kRunLockFile, 0, &lock), plat::FileLockResult::held);
    ChildProcess twin;
    ASSERT_TRUE(start_twin(&twin));
    const std::string content = std::to_string(twin.pid()) + "\n";
    write_file(kPidFileName, content);
    EXPECT_EQ(take_pid_file(plat::FileLockResult::unavailable), PidFileTake::already_running);
    EXPECT_EQ(read_file(kPidFileName), content);
    EXPECT_EQ(recorded_pid(), static_cast<std::uint64_t>(twin.pid()));
    plat::file_lock_release(&lock);
}

TEST_F(PidGuard, UnwritablePidFileIsReported) {
    // root may write anywhere; a directory in the file's place stops everyone
    ASSERT_EQ(mkdir(kPidFileName, 0700), 0);
    EXPECT_EQ(recorded_pid(), 0u);
    EXPECT_EQ(take_pid_file(plat::FileLockResult::held), PidFileTake::unwritable);
    EXPECT_EQ(rmdir(kPidFileName), 0);
}

TEST_F(PidGuard, RemovalDeletesOnlyItsOwnFile) {
    // a pid file that names another monitor by now is that one's
    write_file(kPidFileName, "4242\n");
    remove_pid_file();
    EXPECT_EQ(read_file(kPidFileName), "4242\n");
    ASSERT_TRUE(write_pid_file());
    EXPECT_EQ(recorded_pid(), plat::own_pid());
    remove_pid_file();
    EXPECT_FALSE(file_exists(kPidFileName));
    EXPECT_EQ(recorded_pid(), 0u);
}
