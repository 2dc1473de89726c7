// The entry point's work: scan the arguments, run the chosen command and
// turn its outcome into the process exit code.
#pragma once

enum class Command { monitor_run, start, stop, status, check, test, help, version, install, uninstall, service, unknown };

struct ArgumentScan {
    Command command;
    bool silent;          // "-s" seen before the command
    const char* unknown;  // the first argument that names nothing (Command::unknown)
    const char* folder;   // the settings folder after the service switch (Command::service)
};

// Arguments are compared whole, exactly and case-sensitively. "-s" switches
// silent mode on and the scan goes on; the first argument naming a command
// ends the scan, and so does the first argument that names nothing
// (Command::unknown: a typo never starts a monitor). The service switch
// takes the next argument as its folder (without one it is unknown). No
// command: the monitor run.
ArgumentScan scan_arguments(int argc, const char* const* argv);

// The usage text, with `program` (argv[0] as typed) in the command lines.
void print_usage(const char* program);

// Runs the program; returns the exit code (0, 1; 2 for an unknown
// argument; "-status" also 3). The monitor run
// returns only when it cannot start.
int run_program(int argc, const char* const* argv);
