#include "config/monitor_settings.h"

#include <gtest/gtest.h>

#include <string>

#include "output/silent_mode.h"
#include "support/test_support.h"

using MonitorSettingsFile = InTempDir;

namespace {

struct Expect {
    const char* hostid;
    std::int32_t interval;
    MonitorRule cpu_high, mem_high, cpu_low, mem_low;
    std::int32_t cpu_high_on, mem_high_on, cpu_low_on, mem_low_on;
    const char* metricsfile = "";
    std::int32_t recover[kMonitorCount] = {1, 1, 1, 1};  // in the order of kMonitors
    std::int32_t remind = 0;
};

const Expect kDefaults{"NoHostName", 60, {85, 5}, {85, 5}, {10, 50}, {10, 50}, 1, 1, 1, 1};

void expect_settings(const MonitorSettings& s, const Expect& e) {
    EXPECT_STREQ(s.hostid.c_str(), e.hostid);
    EXPECT_EQ(s.interval, e.interval);
    EXPECT_EQ(s.cpu_high.threshold, e.cpu_high.threshold);
    EXPECT_EQ(s.cpu_high.count, e.cpu_high.count);
    EXPECT_EQ(s.mem_high.threshold, e.mem_high.threshold);
    EXPECT_EQ(s.mem_high.count, e.mem_high.count);
    EXPECT_EQ(s.cpu_low.threshold, e.cpu_low.threshold);
    EXPECT_EQ(s.cpu_low.count, e.cpu_low.count);
    EXPECT_EQ(s.mem_low.threshold, e.mem_low.threshold);
    EXPECT_EQ(s.mem_low.count, e.mem_low.count);
    EXPECT_EQ(s.cpu_high_enabled, e.cpu_high_on);
    EXPECT_EQ(s.mem_high_enabled, e.mem_high_on);
    EXPECT_EQ(s.cpu_low_enabled, e.cpu_low_on);
    EXPECT_EQ(s.mem_low_enabled, e.mem_low_on);
    EXPECT_STREQ(s.metricsfile.c_str(), e.metricsfile);
    for (std::size_t i = 0; i < kMonitorCount; ++i) EXPECT_EQ(s.*kMonitors[i].recover, e.recover[i]) << i;
    EXPECT_EQ(s.remind, e.remind);
}

Expect with(Expect e, void (*change)(Expect&)) {
    change(e);
    return e;
}

// Loads with silent mode on, as the background monitor does.
bool load_quietly(MonitorSettings* settings) {
    const SilentMode silent(true);
    return load_monitor_settings(settings);
}

}  // namespace

TEST_F(MonitorSettingsFile, MissingFileKeepsDefaultsAndComplainsEvenWhenSilent) {
    for (int silent : {0, 1}) {
        const SilentMode mode(silent != 0);
        ConsoleCapture console;
        MonitorSettings s;
        s.interval = 999;
        EXPECT_EQ(load_monitor_settings(&s), 0);
        expect_settings(s, kDefaults);
        EXPECT_EQ(console.err(), "Error: loadhawk_setup.txt not found\n");
        EXPECT_EQ(console.out(), "");
    }
}

TEST_F(MonitorSettingsFile, KeysAliasesDisabledLinesAndRepairs) {
    struct Row {
        const char* file;
        Expect expected;
    };
    const Row rows[] = {
        {"", kDefaults},
        {"# only a comment\n\n   \n", kDefaults},
        {"*cpuhighthreshold : \"90\"\n", with(kDefaults, [](Expect& e) { e.cpu_high.threshold = 90; e.cpu_high_on = 0; })},
        {"*cpuhighnum : \"3\"\ncpuhighthreshold : \"90\"\n",
         with(kDefaults, [](Expect& e) { e.cpu_high = {90, 3}; })},
        {"cpuhighthreshold : \"90\"\n*cpuhighnum : \"3\"\n",
         with(kDefaults, [](Expect& e) { e.cpu_high = {90, 3}; e.cpu_high_on = 0; })},
        {"*hostid : \"web-01\"\n*interval : \"5\"\n", kDefaults},
        {"interval : \"0\"\n", kDefaults},
        {"interval : \"-5\"\n", kDefaults},
        {"interval : \"abc\"\n", kDefaults},
        {"interval : 30\n", kDefaults},
        {"interval : \"30\"\ninterval : \"45\"\n", with(kDefaults, [](Expect& e) { e.interval = 45; })},
        {"cpulowthreshold : \"0\"\n", with(kDefaults, [](Expect& e) { e.cpu_low.threshold = 0; })},
        {"cpulowthreshold : \"-1\"\n", kDefaults},
        {"cpulownum : \"0\"\n", kDefaults},
        {"cpuhighthreshold : \"0\"\n", kDefaults},
        {"memlowthreshold : \"0\"\nmemlownum : \"-3\"\n", with(kDefaults, [](Expect& e) { e.mem_low.threshold = 0; })},
        {"cputhreshold : \"70\"\n", with(kDefaults, [](Expect& e) { e.cpu_high.threshold = 70; })},
        {"cpu_threshold : \"70\"\n", with(kDefaults, [](Expect& e) { e.cpu_high.threshold = 70; })},
        {"mem_threshold : \"71\"\nmemthreshold : \"72\"\n", with(kDefaults, [](Expect& e) { e.mem_high.threshold = 72; })},
        {"mem_highnum : \"9\"\ncpu_highnum : \"8\"\n", with(kDefaults, [](Expect& e) { e.mem_high.count = 9; e.cpu_high.count = 8; })},
        {"CPUHighThreshold : \"70\"\n", kDefaults},
        {"hostid : \"\"\n", with(kDefaults, [](Expect& e) { e.hostid = ""; })},
        {"hostid = \"web01\"\r\ninterval = \"5\"\r\n", with(kDefaults, [](Expect& e) { e.hostid = "web01"; e.interval = 5; })},
        {"cpuhighthreshold : \"250\"\ncpuhighnum : \"1000000\"\n",
         with(kDefaults, [](Expect& e) { e.cpu_high = {250, 1000000}; })},
        {"interval : \"99999999999\"\n", with(kDefaults, [](Expect& e) { e.interval = 2147483647; })},
        {"interval : \"-99999999999\"\n", kDefaults},
        {"*memlowthreshold : \"5\"\n*memlownum : \"7\"\nmemlownum : \"8\"\n",
         with(kDefaults, [](Expect& e) { e.mem_low = {5, 8}; e.mem_low_on = 0; })},
        {"\xEF\xBB\xBFinterval : \"5\"\n", kDefaults},
        // a switched-off metricsfile line is ignored, like hostid's
        {"metricsfile : \" /var/lib/x/loadhawk.prom \"\n*metricsfile : \"other.prom\"\n",
         with(kDefaults, [](Expect& e) { e.metricsfile = "/var/lib/x/loadhawk.prom"; })},
        {"metricsfile : \"a.prom\"\nmetricsfile : \"\"\n", kDefaults},
        {"cpuhighrecover : \"3\"\nmemlowrecover : \"1000\"\nremind : \"60\"\n",
         with(kDefaults, [](Expect& e) { e.recover[0] = 3; e.recover[3] = 1000; e.remind = 60; })},
        // out of range or switched off: recovery at once, no reminders
        {"cpulowrecover : \"0\"\nmemhighrecover : \"1001\"\nremind : \"-5\"\n*cpuhighrecover : \"4\"\n", kDefaults},
        {"remind : \"30\"\n*remind : \"45\"\nremind : \"10081\"\n", kDefaults},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        write_file(kMonitorSettingsFile, row.file);
        ConsoleCapture console;
        MonitorSettings s;
        EXPECT_EQ(load_quietly(&s), 1);
        expect_settings(s, row.expected);
        EXPECT_EQ(console.out(), "");
        EXPECT_EQ(console.err(), "");
    }
}

TEST_F(MonitorSettingsFile, HostLabelIsCutTo99Characters) {
    write_file(kMonitorSettingsFile, "hostid : \"" + std::string(150, 'h') + "\"\n");
    MonitorSettings s;
    ASSERT_EQ(load_quietly(&s), 1);
    EXPECT_EQ(std::string(s.hostid.c_str()), std::string(99, 'h'));
}

TEST_F(MonitorSettingsFile, ReportShowsEveryMonitorOnOrOffAMetricsFileAndTheOptionalKeys) {
    write_file(kMonitorSettingsFile,
               "hostid : \"web-01\"\ninterval : \"30\"\n*cpulowthreshold : \"5\"\nmemhighnum : \"2\"\n"
               "metricsfile : \"m/loadhawk.prom\"\nmemlowrecover : \"4\"\nremind : \"90\"\n");
    ConsoleCapture console;
    MonitorSettings s;
    ASSERT_EQ(load_monitor_settings(&s), 1);
    EXPECT_EQ(console.out(),
              "Your setting ...\n"
              "hostid : web-01\n"
              "interval : 30 Sec\n\n"
              "CPU HIGH monitor : ON\n"
              "  cpuhighthreshold : 85%\n"
              "  cpuhighnum       : 5\n\n"
              "MEM HIGH monitor : ON\n"
              "  memhighthreshold : 85%\n"
              "  memhighnum       : 2\n\n"
              "CPU LOW monitor : OFF\n"
              "  cpulowthreshold : 5%\n"
              "  cpulownum       : 50\n\n"
              "MEM LOW monitor : ON\n"
              "  memlowthreshold : 10%\n"
              "  memlownum       : 50\n\n"
              "metricsfile : m/loadhawk.prom\n\n"
              "memlowrecover : 4 cycles\n\n"
              "remind : 90 min\n\n");
}

TEST_F(MonitorSettingsFile, HostileBytesNeitherCrashNorLeak) {
    // overlong lines arrive in pieces; NUL bytes and 8-bit bytes are data
    std::string file = std::string(4 * 1023, 'x') + "interval : \"7\"\n";
    file += std::string("hostid : \"a\0b\"\n", 15);
    file += "cpuhighnum : \"\xff\xfe\"\n";
    file += "memhighnum : \"3\"\rcpuhighthreshold : \"91\"\r";
    write_file(kMonitorSettingsFile, file);
    MonitorSettings s;
    ASSERT_EQ(load_quietly(&s), 1);
    // the last piece of the long line is a line of its own
    EXPECT_EQ(s.interval, 7);
    EXPECT_STREQ(s.hostid.c_str(), "NoHostName");  // "a<NUL>b" has no closing quote as text
    EXPECT_EQ(s.cpu_high.count, 5);              // no digits: 0, repaired
    EXPECT_EQ(s.mem_high.count, 3);              // CR-only ends: one line, the first item wins
    EXPECT_EQ(s.cpu_high.threshold, 85);
}
