#include "control/start_line.h"

#include <gtest/gtest.h>

#include <string>

TEST(StartLine, NamesEveryMonitorAndWhereAlertsGo) {
    MonitorSettings m{};
    m.interval = 60;
    m.cpu_high = {85, 5};
    m.cpu_low = {10, 3};
    m.mem_high = {90, 2};
    m.mem_low = {5, 7};
    m.cpu_high_enabled = true;
    m.mem_high_enabled = true;
    const std::string head = std::string("loadhawk ") + LOADHAWK_VERSION + " started (pid 42, interval 60 s, ";
    struct Row {
        bool cpu_low, email, telegram, webhook, heartbeat;
        const char* metrics;
        const char* tail;
    };
    const Row rows[] = {
        {true, true, true, true, true, "/var/lib/m.prom",
         "CPU HIGH 85% x5, CPU LOW 10% x3, MEM HIGH 90% x2, MEM LOW off, heartbeat on, metrics /var/lib/m.prom, "
         "channels: email, telegram, webhook)\n"},
        {false, false, true, false, true, "",
         "CPU HIGH 85% x5, CPU LOW off, MEM HIGH 90% x2, MEM LOW off, heartbeat on, metrics off, channels: telegram)\n"},
        // a heartbeat list with no channel to send it sends nothing
        {false, false, false, false, true, "",
         "CPU HIGH 85% x5, CPU LOW off, MEM HIGH 90% x2, MEM LOW off, heartbeat off, metrics off, channels: none)\n"},
        {false, false, false, true, false, "",
         "CPU HIGH 85% x5, CPU LOW off, MEM HIGH 90% x2, MEM LOW off, heartbeat off, metrics off, channels: webhook)\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.tail);
        m.cpu_low_enabled = row.cpu_low;
        m.metricsfile.assign(row.metrics);
        NotifySettings n{};
        n.email_enabled = row.email;
        n.telegram_enabled = row.telegram;
        n.webhook_enabled = row.webhook;
        n.heartbeat_enabled = row.heartbeat;
        FixedText<kMetricsFileCap + 256> line;
        format_start_line(m, n, 42, line.out());
        EXPECT_EQ(line.c_str(), head + row.tail);
    }
}
