#include "platform/linux/proc_parse.h"

#include <gtest/gtest.h>

#include <string>

TEST(ProcStat, NamesAndFieldsFromTheLastParenthesis) {
    const std::string tail = " S 0 1 1 0 -1 4194560 18302 584220 0 374 110 219 1035 1568 20 -10 40 0 25 "
                             "52293632 2811 18446744073709551615 1 1 0 0 0 0 0 4096 1256 0 0 0 17 1 0\n";
    struct Row {
        std::string name;
    };
    const Row rows[] = {
        {"process_api"},
        {"a b) (c"},        // blanks and parentheses
        {"x) S 1 2 3 4 5"},  // a name that reads like the fields after it
        {")"},
        {"("},
        {"(("},
        {""},
        {"kworker/u8:1-kvfree_rcu_reclaim"},  // longer kernel-thread names
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string line = "1 (" + row.name + ")" + tail;
        plat::ProcStatFields fields{};
        ASSERT_TRUE(plat::parse_proc_stat(line.data(), line.size(), &fields));
        EXPECT_EQ(std::string(fields.name, fields.name_length), row.name);
        EXPECT_EQ(fields.utime, 110u);
        EXPECT_EQ(fields.stime, 219u);
        EXPECT_EQ(fields.rss_pages, 2811u);
    }
}

TEST(ProcStat, RejectsCutAndMalformedLines) {
    const std::string whole =
        "77 (sh) R 1 77 77 0 -1 4194304 5 0 0 0 3 4 0 0 20 0 1 0 99 1000 55 1 2 3\n";
    plat::ProcStatFields fields{};
    ASSERT_TRUE(plat::parse_proc_stat(whole.data(), whole.size(), &fields));
    EXPECT_EQ(fields.utime, 3u);
    EXPECT_EQ(fields.stime, 4u);
    EXPECT_EQ(fields.starttime, 99u);
    EXPECT_EQ(fields.rss_pages, 55u);

    // cut right after rss, without a line end: still whole enough
    const std::size_t after_rss = whole.find(" 55 ") + 3;
    ASSERT_TRUE(plat::parse_proc_stat(whole.data(), after_rss, &fields));
    EXPECT_EQ(fields.rss_pages, 55u);

    const std::string bad[] = {
        whole.substr(0, whole.find(" 55 ")),  // cut before rss
        whole.substr(0, whole.find(')') + 1),  // nothing after the name
        "77 sh R 1 77 77 0 -1 4194304 5 0 0 0 3 4 0 0 20 0 1 0 99 1000 55\n",  // no parentheses
        "77 )sh( R 1 77 77 0 -1 4194304 5 0 0 0 3 4 0 0 20 0 1 0 99 1000 55\n",
        "77 (sh) R 1 77 77 0 -1 4194304 5 0 x 0 3 4 0 0 20 0 1 0 99 1000 55\n",  // not a number
        "",
    };
    for (const std::string& line : bad) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(plat::parse_proc_stat(line.data(), line.size(), &fields));
        EXPECT_EQ(fields.name, nullptr);
        EXPECT_EQ(fields.rss_pages, 0u);
    }
}

TEST(CpuLine, FieldsInOrderMissingOnesZero) {
    struct Row {
        std::string text;
        bool ok;
        plat::CpuLineTicks expected;
    };
    const Row rows[] = {
        {"cpu  5459 7 3645 195369 497 1 45 3 11 0\ncpu0 1 2 3 4 5 6 7 8 9 10\n", true,
         {5459, 7, 3645, 195369, 497, 1, 45, 3}},
        {"cpu 10 20 30 40\n", true, {10, 20, 30, 40, 0, 0, 0, 0}},
        {"cpu 10 20 30 40 50 60", true, {10, 20, 30, 40, 50, 60, 0, 0}},
        {"cpu 10 20 30\ncpu0 1 2 3 4\n", false, {}},  // too few fields on the first line
        {"cpu0 10 20 30 40\n", false, {}},
        {"intr 10 20 30 40\n", false, {}},
        {"", false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        plat::CpuLineTicks ticks{};
        EXPECT_EQ(plat::parse_cpu_line(row.text.data(), row.text.size(), &ticks), row.ok);
        EXPECT_EQ(ticks.user, row.expected.user);
        EXPECT_EQ(ticks.nice, row.expected.nice);
        EXPECT_EQ(ticks.system, row.expected.system);
        EXPECT_EQ(ticks.idle, row.expected.idle);
        EXPECT_EQ(ticks.iowait, row.expected.iowait);
        EXPECT_EQ(ticks.irq, row.expected.irq);
        EXPECT_EQ(ticks.softirq, row.expected.softirq);
        EXPECT_EQ(ticks.steal, row.expected.steal);
    }
}

TEST(MemInfo, TotalAndAvailableInBytes) {
    struct Row {
        std::string text;
        bool ok;
        unsigned long long total;
        unsigned long long available;
    };
    const Row rows[] = {
        {"MemTotal:       24683772 kB\nMemFree:        24331928 kB\nMemAvailable:   24323736 kB\n", true,
         24683772ull * 1024, 24323736ull * 1024},
        {"MemAvailable: 5 kB\nMemTotal: 10 kB\n", true, 10240, 5120},
        {"MemTotal: 10 kB\nMemFree: 5 kB\n", false, 0, 0},  // no MemAvailable
        {"MemTotal: 0 kB\nMemAvailable: 0 kB\n", false, 0, 0},
        {"XMemTotal: 10 kB\nMemAvailable: 5 kB\n", false, 0, 0},  // keys start their lines
        {"MemTotalX: 10 kB\nMemAvailable: 5 kB\n", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        plat::MemInfoBytes memory{};
        EXPECT_EQ(plat::parse_meminfo(row.text.data(), row.text.size(), &memory), row.ok);
        EXPECT_EQ(memory.total, row.total);
        EXPECT_EQ(memory.available, row.available);
    }
}
