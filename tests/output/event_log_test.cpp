#include "output/event_log.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <regex>
#include <string>

#include "platform/files.h"
#include "support/test_support.h"

using EventLog = InTempDir;

TEST(Timestamp, FixedWidthForm) {
    char buf[kTimestampCap];
    format_timestamp_of(plat::LocalTime{2026, 3, 7, 4, 5, 9}, TextBuffer{buf, sizeof buf});
    EXPECT_STREQ(buf, "2026-03-07 04:05:09");
    format_timestamp(TextBuffer{buf, sizeof buf});
    EXPECT_TRUE(std::regex_match(buf, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << buf;
}

TEST_F(EventLog, AppendsTimestampSpaceAndMessageUnchanged) {
    log_event("first %d\n", 1);
    log_event("block\nTOP1- a\nTOP2- b\n\n");
    const std::string log = read_file(kLogFileName);
    const std::regex entry(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d first 1\n)"
                           R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d block\nTOP1- a\nTOP2- b\n\n)");
    EXPECT_TRUE(std::regex_match(log, entry)) << log;
}

TEST_F(EventLog, RecreatesADeletedLogAndDropsEntriesItCannotWrite) {
    log_event("one\n");
    ASSERT_TRUE(plat::delete_file(kLogFileName));
    log_event("two\n");
    EXPECT_NE(read_file(kLogFileName).find(" two\n"), std::string::npos);
    EXPECT_EQ(read_file(kLogFileName).find("one"), std::string::npos);

    // a directory in the log's place cannot be opened: the entry is lost, no crash
    ASSERT_TRUE(plat::delete_file(kLogFileName));
    ASSERT_EQ(mkdir(kLogFileName, 0700), 0);
    log_event("lost\n");
    EXPECT_EQ(rmdir(kLogFileName), 0);
}
