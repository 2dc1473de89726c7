#include "control/background.h"

#include <gtest/gtest.h>


#include <string>

#include "control/pid_file.h"
#include "platform/platform.h"
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
        EXPECT_EQ(run_background_status(), 0);
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
        EXPECT_EQ(run_background_status(), 0);
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
    ChildProcess twin;
    ASSERT_TRUE(start_twin(&twin));
    const std::string pid = std::to_string(twin.pid());
    write_file(kPidFileName, pid + "\n");
    {
        ConsoleCapture console;
        EXPECT_EQ(run_background_status(), 0);
        EXPECT_EQ(console.out(), "loadhawk running pid " + pid + "\n");
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
    EXPECT_EQ(run_background_status(), 0);
    EXPECT_EQ(console.out(), "loadhawk not running\n");
}
