#include "control/background.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>


#include <string>

#include "control/pid_file.h"
#include "notify/email.h"
#include "notify/curl_send.h"
#include "platform/files.h"
#include "platform/locks.h"
#include "platform/process.h"
#include "support/liveness_child.h"
#include "support/test_support.h"

using Background = InTempDir;

TEST_F(Background, StatusAndStopWithoutAMonitor) {
    struct Row {
        const char* why;
        bool exists;
        const char* content;
    };
    const Row rows[] = {
        {"no pid file", false, ""},
        {"zero", true, "0\n"},
        {"no number", true, "loadhawk\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        if (row.exists) write_file(kPidFileName, row.content);
        ConsoleCapture console;
        EXPECT_EQ(run_background_status(), 3);
        EXPECT_EQ(run_background_stop(), 0);
        EXPECT_EQ(console.out(), "loadhawk not running\nloadhawk not running\n");
        // "-stop" leaves a file without a pid alone
        EXPECT_EQ(file_exists(kPidFileName), row.exists);
        if (row.exists) {
            EXPECT_EQ(read_file(kPidFileName), row.content);
        }
        (void)plat::delete_file(kPidFileName);
    }
}

TEST_F(Background, StalePidAndUnrelatedProgramAreNeverStopped) {
    ChildProcess sleeper;
    ASSERT_TRUE(start_sleeper(&sleeper));
    ChildProcess gone;
    ASSERT_TRUE(start_twin(&gone));
    const std::string gone_pid = std::to_string(gone.pid()) + "\n";
    gone.stop();
    const std::string rows[] = {gone_pid, std::to_string(sleeper.pid()) + "\n", "4294967295\n", "-1\n"};
    for (const std::string& content : rows) {
        SCOPED_TRACE(content);
        write_file(kPidFileName, content);
        ConsoleCapture console;
        EXPECT_EQ(run_background_status(), 1);
        EXPECT_EQ(read_file(kPidFileName), content);  // "-status" never changes the file
        EXPECT_EQ(run_background_stop(), 0);
        EXPECT_EQ(console.out(),
                  "loadhawk pid file exists but process dead\n"
                  "loadhawk pid file exists but process not alive\n");
        EXPECT_FALSE(file_exists(kPidFileName));
    }
    EXPECT_FALSE(has_ended(sleeper.pid()));
}

TEST_F(Background, StopEndsALiveLoadhawkAndRemovesItsPidFile) {
    // the run lock of the directory is held (here by this test) while the
    // monitor the pid file names runs this program here
    plat::FileLock lock{-1};
    ASSERT_EQ(plat::file_lock_acquire(kRunLockFile, 0, &lock), plat::FileLockResult::held);
    ChildProcess twin;
    ASSERT_TRUE(start_twin(&twin));
    const std::string pid = std::to_string(twin.pid());
    write_file(kPidFileName, pid + "\n");
    {
        ConsoleCapture console;
        EXPECT_EQ(run_background_status(), 0);
        EXPECT_EQ(run_background_start(), 1);
        EXPECT_EQ(console.out(), "loadhawk running pid " + pid + "\nloadhawk already running\n");
    }
    {
        ConsoleCapture console;
        EXPECT_EQ(run_background_stop(), 0);
        EXPECT_EQ(console.out(), "loadhawk stopped\n");
    }
    EXPECT_FALSE(file_exists(kPidFileName));
    // it was terminated (a zombie until its owner reaps it)
    EXPECT_TRUE(has_ended(twin.pid()));
    ConsoleCapture console;
    EXPECT_EQ(run_background_status(), 3);
    EXPECT_EQ(console.out(), "loadhawk not running\n");
    plat::file_lock_release(&lock);
}

namespace {

// Stand-ins for what the system shows of the pid in the file.
plat::ProcessCheck g_check = plat::ProcessCheck::gone;
plat::LockProbe g_lock = plat::LockProbe::free;
int g_terminated = 0;
// what the termination does: refused, or ended after this many pauses
// (-1: never)
bool g_terminate_works = true;
int g_pauses_to_end = 0;
int g_pauses = 0;

plat::ProcessCheck check_stand_in(std::uint32_t) {
    const bool ended = g_terminated > 0 && g_pauses_to_end >= 0 && g_pauses >= g_pauses_to_end;
    return ended ? plat::ProcessCheck::gone : g_check;
}
plat::LockProbe lock_stand_in(const char*) { return g_lock; }
bool terminate_stand_in(std::uint32_t) {
    if (!g_terminate_works) return false;
    ++g_terminated;
    return true;
}
void pause_stand_in(std::uint32_t) { ++g_pauses; }

// Another process holds the mail lock for `ms` (a send ending); its pid.
pid_t hold_mail_lock(int ms) {
    int ready[2];
    if (pipe(ready) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        plat::FileLock lock{-1};
        const char held = plat::file_lock_acquire(kSendLockFile, 0, &lock) == plat::FileLockResult::held;
        (void)!write(ready[1], &held, 1);
        usleep(static_cast<useconds_t>(ms) * 1000);
        _exit(0);
    }
    close(ready[1]);
    char held = 0;
    const bool told = child > 0 && read(ready[0], &held, 1) == 1 && held != 0;
    close(ready[0]);
    if (child > 0 && !told) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        return -1;
    }
    return child;
}

}  // namespace

// What "-status", "-stop" and "-start" make of a pid, as the system shows
// it and as the run lock tells: a process that cannot be opened (access
// denied: another account's, SYSTEM's) is alive and not ours to stop;
// another directory's monitor and another program are never touched; with
// nobody holding the run lock no monitor works here.
TEST_F(Background, WhatTheSystemShowsDecides) {
    using plat::LockProbe;
    using plat::ProcessCheck;
    const MonitorProbe probe{check_stand_in, lock_stand_in, terminate_stand_in, pause_stand_in};
    const std::string running = "loadhawk running pid 4242\n";
    const std::string dead = "loadhawk pid file exists but process dead\n";
    struct Row {
        ProcessCheck check;
        LockProbe lock;
        std::string status;
        std::string stop;
        int stop_rc;
        bool file_kept;
        int terminated;
    };
    const Row rows[] = {
        {ProcessCheck::denied, LockProbe::held, running, "Unable to stop loadhawk pid 4242\n", 1, true, 0},
        {ProcessCheck::denied, LockProbe::unknown, running, "Unable to stop loadhawk pid 4242\n", 1, true, 0},
        {ProcessCheck::denied, LockProbe::free, dead, "loadhawk pid file exists but process not alive\n", 0, false, 0},
        {ProcessCheck::elsewhere, LockProbe::held, dead, "loadhawk pid file exists but process not alive\n", 0, false, 0},
        {ProcessCheck::other_program, LockProbe::held, dead, "loadhawk pid file exists but process not alive\n", 0, false, 0},
        {ProcessCheck::same_program, LockProbe::unknown, running, "loadhawk stopped\n", 0, false, 1},
        {ProcessCheck::same_program, LockProbe::free, dead, "loadhawk pid file exists but process not alive\n", 0, false, 0},
        {ProcessCheck::gone, LockProbe::held, dead, "loadhawk pid file exists but process not alive\n", 0, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.check) * 10 + static_cast<int>(row.lock));
        g_check = row.check;
        g_lock = row.lock;
        g_terminated = 0;
        g_terminate_works = true;
        g_pauses_to_end = 0;
        write_file(kPidFileName, "4242\n");
        // what a monitor ended without its own clean-up leaves behind
        write_file(kMailMessageFile, "Subject: x\n");
        write_file(kCurlConfigFile, "user = \"a:b\"\n");
        ConsoleCapture console;
        EXPECT_EQ(run_background_status(probe), row.status == running ? 0 : 1);
        if (row.status == running) {
            // a start is refused while the monitor runs
            EXPECT_EQ(run_background_start(probe), 1);
        }
        EXPECT_EQ(run_background_stop(probe), row.stop_rc);
        const std::string refused = row.status == running ? "loadhawk already running\n" : "";
        EXPECT_EQ(console.out(), row.status + refused + row.stop);
        EXPECT_EQ(file_exists(kPidFileName), row.file_kept);
        EXPECT_EQ(g_terminated, row.terminated);
        // a stopped monitor's send files go with it; others are no leftovers
        EXPECT_EQ(file_exists(kMailMessageFile), row.terminated == 0);
        EXPECT_EQ(file_exists(kCurlConfigFile), row.terminated == 0);
        (void)plat::delete_file(kPidFileName);
        (void)plat::delete_file(kMailMessageFile);
        (void)plat::delete_file(kCurlConfigFile);
    }
}

// No pid file (removed by hand, or not yet written) while some process
// holds the run lock: a monitor works here, and a start is refused.
TEST_F(Background, StartRefusedWhileTheRunLockIsHeld) {
    g_lock = plat::LockProbe::held;
    g_check = plat::ProcessCheck::gone;
    const MonitorProbe probe{check_stand_in, lock_stand_in, terminate_stand_in, pause_stand_in};
    ConsoleCapture console;
    EXPECT_EQ(run_background_start(probe), 1);
    EXPECT_EQ(console.out(), "loadhawk already running\n");
}

// "-stop" says "stopped" only once the monitor is gone: a termination the
// system completes later is waited for; one that is refused, or that does
// not complete, leaves the monitor its pid file and its send files.
TEST_F(Background, StopWaitsUntilTheMonitorIsGone) {
    g_check = plat::ProcessCheck::same_program;
    g_lock = plat::LockProbe::held;
    const MonitorProbe probe{check_stand_in, lock_stand_in, terminate_stand_in, pause_stand_in};
    struct Row {
        const char* why;
        bool terminate_works;
        int pauses_to_end;
        int mail_lock_ms;  // the stopped send's lock, still held this long
        const char* out;
        int rc;
        bool stopped;
    };
    const Row rows[] = {
        {"ends at once", true, 0, 0, "loadhawk stopped\n", 0, true},
        {"termination pending for a while", true, 20, 0, "loadhawk stopped\n", 0, true},
        {"the mail lock held a moment longer", true, 0, 300, "loadhawk stopped\n", 0, true},
        {"termination refused", false, 0, 0, "Unable to stop loadhawk pid 4242\n", 1, false},
        {"termination never completes", true, -1, 0, "Unable to stop loadhawk pid 4242\n", 1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.why);
        g_terminated = 0;
        g_terminate_works = row.terminate_works;
        g_pauses_to_end = row.pauses_to_end;
        g_pauses = 0;
        write_file(kPidFileName, "4242\n");
        write_file(kCurlConfigFile, "user = \"a:b\"\n");
        const pid_t holder = row.mail_lock_ms > 0 ? hold_mail_lock(row.mail_lock_ms) : 0;
        ASSERT_GE(holder, 0);
        ConsoleCapture console;
        EXPECT_EQ(run_background_stop(probe), row.rc);
        if (holder > 0) {
            kill(holder, SIGKILL);
            waitpid(holder, nullptr, 0);
        }
        EXPECT_EQ(console.out(), row.out);
        EXPECT_EQ(file_exists(kPidFileName), !row.stopped);
        EXPECT_EQ(file_exists(kCurlConfigFile), !row.stopped);
        if (row.pauses_to_end > 0) {
            EXPECT_EQ(g_pauses, row.pauses_to_end);
        }
        (void)plat::delete_file(kPidFileName);
        (void)plat::delete_file(kCurlConfigFile);
    }
}
