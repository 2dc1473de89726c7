#include "notify/shell_command.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sstream>
#include <string>
#include <vector>
#include <thread>

#include "platform/command.h"
#include "support/test_support.h"

using ShellCommand = InTempDir;

namespace {

// True once `pid` no longer runs (gone, or a zombie waiting for its reaper).
bool process_ended(long pid) {
    if (kill(static_cast<pid_t>(pid), 0) != 0) return errno == ESRCH;
    const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z';
}

bool wait_until_ended(long pid) {
    for (int i = 0; i < 200; ++i) {
        if (process_ended(pid)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return process_ended(pid);
}

}  // namespace

TEST_F(ShellCommand, AbsentOrEmptyCommandStartsNothing) {
    EXPECT_EQ(run_shell_command(nullptr, 5), -1);
    EXPECT_EQ(run_shell_command("", 5), -1);
}

TEST_F(ShellCommand, ReturnsTheInterpretersExitCode) {
    struct Row {
        const char* command;
        int code;
    } const rows[] = {
        {"exit 0", 0},
        {"exit 3", 3},
        {"exit 255", 255},
        {"true", 0},
        {"no-such-program-here", 127},
        {"kill -9 $$", 128 + 9},  // ended by a signal
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command);
        EXPECT_EQ(run_shell_command(row.command, 30), row.code);
    }
}

TEST_F(ShellCommand, ReadsRelativeNamesInTheCurrentDirectory) {
    write_file("input.txt", "7\n");
    EXPECT_EQ(run_shell_command("exit $(cat input.txt)", 30), 7);
    EXPECT_EQ(run_shell_command("echo made > made.txt", 30), 0);
    EXPECT_EQ(read_file(dir() + "/made.txt"), "made\n");
}

TEST_F(ShellCommand, WholeLineIsCutAt8191Characters) {
    // the redirection stands first, so a cut tail only shortens the A's
    const std::string head = ">out.txt printf %s ";
    struct Row {
        std::size_t command_length;
        std::size_t kept_length;  // of the command, behind the 11-character prefix
    } const rows[] = {{8179, 8179}, {8180, 8180}, {8181, 8180}, {8200, 8180}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.command_length);
        const std::string command = head + std::string(row.command_length - head.size(), 'A');
        ASSERT_EQ(run_shell_command(command.c_str(), 30), 0);
        EXPECT_EQ(read_file("out.txt"), std::string(row.kept_length - head.size(), 'A'));
    }
}

TEST_F(ShellCommand, RunsInItsOwnGroupWithOnlyTheNullDeviceAsStreams) {
    // a descriptor of ours that is not close-on-exec must not reach the command
    const int leaky = open("leak.txt", O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(leaky, 0);
    // find writes its list itself, so no redirection of the shell's is active
    ASSERT_EQ(run_shell_command("find /proc/$$/fd/ -mindepth 1 -fprintf fds.txt '%f %l\\n';"
                                " echo $$ > pid.txt; cut -d' ' -f5 /proc/$$/stat > pgid.txt;"
                                " echo to-stdout; echo to-stderr >&2",
                                30),
              0);
    close(leaky);
    std::vector<std::string> fds;
    std::istringstream lines(read_file("fds.txt"));
    for (std::string line; std::getline(lines, line);) fds.push_back(line);
    std::sort(fds.begin(), fds.end());
    EXPECT_EQ(fds, (std::vector<std::string>{"0 /dev/null", "1 /dev/null", "2 /dev/null"}));
    EXPECT_EQ(read_file("pgid.txt"), read_file("pid.txt"));
    EXPECT_NE(read_file("pid.txt"), std::to_string(getpgrp()) + "\n");
}

TEST_F(ShellCommand, OverrunEndsTheCommandAndEverythingItStarted) {
    const auto start = std::chrono::steady_clock::now();
    const int rc = run_shell_command("sleep 300 & echo $! > sleeper.pid; echo $$ > sh.pid; wait", 1);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(rc, 124);
    EXPECT_LT(took, std::chrono::seconds(60));
    const long sleeper = std::stol(read_file("sleeper.pid"));
    const long shell = std::stol(read_file("sh.pid"));
    EXPECT_TRUE(wait_until_ended(sleeper)) << "background sleeper " << sleeper << " still runs";
    // the interpreter itself has been reaped, not left a zombie
    EXPECT_NE(kill(static_cast<pid_t>(shell), 0), 0);
}

TEST_F(ShellCommand, LeftoverBackgroundProcessesEndWithTheCommand) {
    EXPECT_EQ(run_shell_command("sleep 300 & echo $! > sleeper.pid; exit 5", 30), 5);
    const long sleeper = std::stol(read_file("sleeper.pid"));
    EXPECT_TRUE(wait_until_ended(sleeper)) << "background sleeper " << sleeper << " still runs";
}

TEST_F(ShellCommand, ZeroTimeoutWaitsForTheEnd) {
    EXPECT_EQ(run_shell_command("sleep 1; exit 4", 0), 4);
}

TEST(CommandInterpreter, PosixNamesMatchTheCommandLinePrefix) {
    EXPECT_EQ(plat::interpreter(), plat::Interpreter::posix_sh);
    EXPECT_STREQ(plat::interpreter_prefix(), "/bin/sh -c ");
    EXPECT_STREQ(plat::null_device(), "/dev/null");
}
