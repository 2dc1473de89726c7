#include "control/dispatch.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/test_support.h"

namespace {
ArgumentScan scan(std::vector<const char*> args) {
    args.insert(args.begin(), "loadhawk");
    return scan_arguments(static_cast<int>(args.size()), args.data());
}
}  // namespace

TEST(Dispatch, ScanPicksTheFirstCommandAndSilentBeforeIt) {
    struct Row {
        std::vector<const char*> args;
        Command command;
        bool silent;
    };
    const Row rows[] = {
        {{}, Command::monitor_run, false},
        {{"-s"}, Command::monitor_run, true},
        {{"-x", "-status"}, Command::status, false},
        {{"-status", "-stop"}, Command::status, false},
        {{"-test", "-s"}, Command::test, false},
        {{"-s", "-test"}, Command::test, true},
        {{"-START"}, Command::monitor_run, false},
        {{"-help"}, Command::monitor_run, false},
        {{"--h"}, Command::monitor_run, false},
        {{"-h"}, Command::help, false},
        {{"--help", "-check"}, Command::help, false},
        {{"-start"}, Command::start, false},
        {{"-stop"}, Command::stop, false},
        {{"-check", "-h"}, Command::check, false},
        {{"-s", "-s", "junk", "-check"}, Command::check, true},
        {{"-s "}, Command::monitor_run, false},
        {{"-v"}, Command::version, false},
        {{"-s", "--version", "-stop"}, Command::version, true},
        {{"-version"}, Command::monitor_run, false},
        {{"-V"}, Command::monitor_run, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        const ArgumentScan s = scan(row.args);
        EXPECT_EQ(s.command, row.command);
        EXPECT_EQ(s.silent, row.silent);
    }
}

TEST(Dispatch, UsageNamesTheProgramAsTyped) {
    ConsoleCapture console;
    print_usage("./bin/lh");
    const std::string out = console.out();
    EXPECT_EQ(out.rfind("\nLOADHAWK Windows Version 1.0 from the loadhawk authors\n\nUsage:\n  ./bin/lh\n  ./bin/lh -start\n", 0),
              0u);
    EXPECT_NE(out.find("  ./bin/lh -h | --help\n  ./bin/lh -v | --version\n\nOptions:\n"
                       "  (no command)  Run the monitor in the foreground\n"),
              std::string::npos);
    const std::string tail = "  -s            Silent mode\n  -h, --help    Show this help\n  -v, --version Show the version\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    EXPECT_EQ(console.err(), "");
}
