#include "control/dispatch.h"

#include <cstring>

#include "control/background.h"
#include "control/config_check.h"
#include "control/monitor_start.h"
#include "control/self_test_command.h"
#include "control/service_command.h"
#include "control/service_status.h"
#include "output/banner.h"
#include "output/console.h"
#include "output/silent_mode.h"
#include "platform/service.h"
#include "platform/time.h"

// the project's version, handed in by the build from its one definition
#ifndef LOADHAWK_VERSION
#error "LOADHAWK_VERSION is not defined"
#endif

ArgumentScan scan_arguments(int argc, const char* const* argv) {
    ArgumentScan scan{Command::monitor_run, false, nullptr, nullptr};
    struct Switch {
        const char* text;
        Command command;
    };
    static constexpr Switch kCommands[] = {
        {"-start", Command::start}, {"-stop", Command::stop},   {"-status", Command::status},
        {"-check", Command::check}, {"-test", Command::test},   {"-h", Command::help},
        {"--help", Command::help},  {"/?", Command::help},    {"-v", Command::version},
        {"--version", Command::version}, {"-install", Command::install}, {"-uninstall", Command::uninstall},
    };
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg == nullptr) continue;
        if (std::strcmp(arg, "-s") == 0) {
            scan.silent = true;
            continue;
        }
        if (std::strcmp(arg, plat::kServiceSwitch) == 0 && i + 1 < argc && argv[i + 1] != nullptr) {
            scan.command = Command::service;
            scan.folder = argv[i + 1];
            return scan;
        }
        for (const Switch& sw : kCommands) {
            if (std::strcmp(arg, sw.text) == 0) {
                scan.command = sw.command;
                return scan;
            }
        }
        scan.command = Command::unknown;
        scan.unknown = arg;
        return scan;
    }
    return scan;
}

void print_usage(const char* program) {
    const char* p = program != nullptr ? program : "loadhawk";
    print_banner();
    console_out("Usage:\n");
    console_out("  %s\n", p);
    console_out("  %s -start\n", p);
    console_out("  %s -stop\n", p);
    console_out("  %s -status\n", p);
    console_out("  %s -check\n", p);
    console_out("  %s -test\n", p);
    console_out("  %s -install\n", p);
    console_out("  %s -uninstall\n", p);
    console_out("  %s -s\n", p);
    console_out("  %s -h | --help\n", p);
    console_out("  %s -v | --version\n", p);
    console_out("\nOptions:\n");
    console_out("  (no command)  Run the monitor in the foreground\n");
    console_out("  -start        Start in background mode\n");
    console_out("  -stop         Stop running instance\n");
    console_out("  -status       Show running status\n");
    console_out("  -check        Validate config file format\n");
    console_out("  -test         Send test email / Telegram / webhook alert\n");
    console_out("  -install      Install as a Windows service for this folder (as administrator)\n");
    console_out("  -uninstall    Stop and remove the Windows service (as administrator)\n");
    console_out("  -s            Silent mode\n");
    console_out("  -h, --help    Show this help\n");
    console_out("  -v, --version Show the version\n");
    console_out("\nExit codes:\n");
    console_out("  0 done, 1 failed, 2 unknown argument\n");
    console_out("  -status: 0 running, 1 not running but a pid file is left, 3 not running\n");
    console_out("  -check: 1 on any error; warnings do not count\n");
    console_out("  -test: 0 when every configured channel sent, 1 when one failed or none is configured\n");
}

int run_program(int argc, const char* const* argv) {
    // the start time is taken before the arguments are examined; its day of
    // the month is the heartbeat's first remembered day
    plat::LocalTime start{};
    plat::local_time(&start);

    const ArgumentScan scan = scan_arguments(argc, argv);
    if (scan.silent) set_silent_mode(true);

    switch (scan.command) {
        case Command::unknown:
            console_out("Unknown argument: %s\n", scan.unknown);
            print_usage(argc > 0 ? argv[0] : nullptr);
            return 2;
        case Command::help:
            print_usage(argc > 0 ? argv[0] : nullptr);
            return 0;
        case Command::version:
            console_out("loadhawk %s\n", LOADHAWK_VERSION);
            return 0;
        case Command::check:
            return run_config_check();
        case Command::start:
            return run_background_start();
        case Command::stop:
            return service_monitor_here() ? run_service_stop() : run_background_stop();
        case Command::status:
            return service_monitor_here() ? run_service_status() : run_background_status();
        case Command::test:
            stop_on_termination_request();
            return run_self_test_command();
        case Command::install:
            return run_service_install();
        case Command::uninstall:
            return run_service_uninstall();
        case Command::service:
            return run_as_service(scan.folder);
        case Command::monitor_run:
            break;
    }
    return start_monitoring(start.day);
}
