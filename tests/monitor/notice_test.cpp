#include "monitor/notice.h"

#include <gtest/gtest.h>

#include <string>

#include "support/monitor_support.h"
#include "support/test_support.h"

TEST(NoticeSubject, EveryMonitorAndEvent) {
    MonitorSettings settings = quiet_settings();
    settings.cpu_high = {90, 3};
    settings.cpu_low = {10, 50};
    settings.mem_high = {85, 5};
    settings.mem_low = {12, 7};
    const Sample sample = test_sample(97.26, 97, 88);
    struct Row {
        MonitorKind kind;
        NoticeEvent event;
        const char* subject;
    };
    const Row rows[] = {
        {MonitorKind::cpu_high, NoticeEvent::alert, "2026-03-07 04:05:09 web1 CPU now 97.3% >= 90% for consecutive 3 times"},
        {MonitorKind::cpu_high, NoticeEvent::recovery, "2026-03-07 04:05:09 web1 CPU HIGH back to normal - CPU now 97.3%"},
        {MonitorKind::cpu_low, NoticeEvent::alert, "2026-03-07 04:05:09 web1 CPU now 97.3% <= 10% for consecutive 50 times"},
        {MonitorKind::cpu_low, NoticeEvent::recovery, "2026-03-07 04:05:09 web1 CPU LOW back to normal - CPU now 97.3%"},
        {MonitorKind::mem_high, NoticeEvent::alert, "2026-03-07 04:05:09 web1 MEM now 88% >= 85% for consecutive 5 times"},
        {MonitorKind::mem_high, NoticeEvent::recovery, "2026-03-07 04:05:09 web1 MEM HIGH back to normal - MEM now 88%"},
        {MonitorKind::mem_low, NoticeEvent::alert, "2026-03-07 04:05:09 web1 MEM now 88% <= 12% for consecutive 7 times"},
        {MonitorKind::mem_low, NoticeEvent::recovery, "2026-03-07 04:05:09 web1 MEM LOW back to normal - MEM now 88%"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.subject);
        NoticeTexts texts{};
        texts.subject.assign("left over from the last notice");
        build_notice_texts(row.kind, row.event, &sample, &settings, &texts);
        EXPECT_STREQ(texts.subject.c_str(), row.subject);
    }
}

TEST(NoticeSubject, LongestHostLabelIsNotCut) {
    MonitorSettings settings = quiet_settings();
    settings.hostid.assign(std::string(99, 'h').c_str());
    settings.cpu_high = {2147483647, 2147483647};
    const Sample sample = test_sample(100.0, 100, 100);
    NoticeTexts texts{};
    build_notice_texts(MonitorKind::cpu_high, NoticeEvent::alert, &sample, &settings, &texts);
    const std::string expected = std::string("2026-03-07 04:05:09 ") + std::string(99, 'h') +
                                 " CPU now 100.0% >= 2147483647% for consecutive 2147483647 times";
    EXPECT_EQ(texts.subject.c_str(), expected);
}

using MonitorNotice = InTempDir;

TEST_F(MonitorNotice, LogsTheSubjectWithNoChannelEnabled) {
    MonitorSettings settings = quiet_settings();
    const NotifySettings notify = no_channels();
    const Sample sample = test_sample(5.0, 5, 33);
    ConsoleCapture console;
    send_monitor_notice(MonitorKind::mem_low, NoticeEvent::recovery, &sample, &settings, &notify);
    std::size_t offset = 0;
    EXPECT_EQ(read_new_log(&offset), "***Alert sending :2026-03-07 04:05:09 web1 MEM LOW back to normal - MEM now 33%\n");
    EXPECT_EQ(console.out(), "");
    EXPECT_FALSE(file_exists("cpumailtext.txt"));
}
