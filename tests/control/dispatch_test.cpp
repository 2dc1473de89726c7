#include "control/dispatch.h"

#include <gtest/gtest.h>

#include <vector>

#include "output/banner.h"
#include "platform/system.h"
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
        const char* unknown = nullptr;
        const char* folder = nullptr;
    };
    const Row rows[] = {
        {{}, Command::monitor_run, false},
        {{"-s"}, Command::monitor_run, true},
        {{"-x", "-status"}, Command::unknown, false, "-x"},
        {{"-status", "-stop"}, Command::status, false},
        {{"-test", "-s"}, Command::test, false},
        {{"-s", "-test"}, Command::test, true},
        {{"-START"}, Command::unknown, false, "-START"},
        {{"-help"}, Command::unknown, false, "-help"},
        {{"--h"}, Command::unknown, false, "--h"},
        {{"-h"}, Command::help, false},
        {{"/?"}, Command::help, false},
        {{"--help", "-check"}, Command::help, false},
        {{"-start"}, Command::start, false},
        {{"-stop"}, Command::stop, false},
        {{"-check", "-h"}, Command::check, false},
        {{"-s", "-s", "junk", "-check"}, Command::unknown, true, "junk"},
        {{"-s "}, Command::unknown, false, "-s "},
        {{"-v"}, Command::version, false},
        {{"-s", "--version", "-stop"}, Command::version, true},
        {{"-version"}, Command::unknown, false, "-version"},
        {{"-V"}, Command::unknown, false, "-V"},
        {{"--check"}, Command::unknown, false, "--check"},
        {{"status"}, Command::unknown, false, "status"},
        {{"help", "-h"}, Command::unknown, false, "help"},
        {{""}, Command::unknown, false, ""},
        {{"-install", "-uninstall"}, Command::install, false},
        {{"-s", "-uninstall"}, Command::uninstall, true},
        {{"-service", "C:\\lh"}, Command::service, false, nullptr, "C:\\lh"},
        {{"-service"}, Command::unknown, false, "-service"},  // no folder
        {{"-INSTALL"}, Command::unknown, false, "-INSTALL"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.args));
        const ArgumentScan s = scan(row.args);
        EXPECT_EQ(s.command, row.command);
        EXPECT_EQ(s.silent, row.silent);
        EXPECT_STREQ(s.unknown, row.unknown);
        EXPECT_STREQ(s.folder, row.folder);
    }
}

TEST(Dispatch, UsageNamesTheProgramAsTyped) {
    ConsoleCapture console;
    print_usage("./bin/lh");
    const std::string out = console.out();
    FixedText<128> banner;
    banner_line(plat::system_name(), LOADHAWK_VERSION, banner.out());
    EXPECT_EQ(out.rfind("\n" + std::string(banner.c_str()) + "\n\nUsage:\n  ./bin/lh\n  ./bin/lh -start\n", 0), 0u);
    EXPECT_NE(out.find("  ./bin/lh -h | --help\n  ./bin/lh -v | --version\n\nOptions:\n"
                       "  (no command)  Run the monitor in the foreground\n"),
              std::string::npos);
    const std::string tail =
        "  -v, --version Show the version\n\nExit codes:\n  0 done, 1 failed, 2 unknown argument\n"
        "  -status: 0 running, 1 not running but a pid file is left, 3 not running\n"
        "  -check: 1 on any error; warnings do not count\n"
        "  -test: 0 when every configured channel sent, 1 when one failed or none is configured\n";
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    EXPECT_EQ(console.err(), "");
}
