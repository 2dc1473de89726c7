// loadhawk as a service of the Windows service manager: its registration,
// its removal, and the run under the manager. Linux runs loadhawk through
// the package's systemd unit instead, so there these calls only answer
// `unsupported`.
#pragma once

#include "text/fixed_text.h"

namespace plat {

constexpr const char* kServiceName = "loadhawk";
// the switch of the service's command line, followed by the settings folder
constexpr const char* kServiceSwitch = "-service";
// what the service manager may wait for a stop at shut-down: a running send
// (sendtimeout defaults to 120 s) is finished or ended within it
constexpr unsigned kPreshutdownMs = 150000;
constexpr unsigned kRestartDelayMs = 10000;
// the exit code a start-up failure of the service reports (service-specific)
constexpr unsigned kServiceStartFailed = 1;

enum class ServiceSetup { done, unsupported, not_elevated, exists, absent, failed };

// Registers the service for the working directory: automatic start, the
// exe by full path with kServiceSwitch and the folder, its own virtual
// account, restart after kRestartDelayMs on any failure, the pre-shutdown
// time, and the folder's permissions (Administrators and SYSTEM full, the
// service account modify, nobody else, nothing inherited). `done` lists
// each step in `report`, one line each; a failure names the step and the
// system's error there.
[[nodiscard]] ServiceSetup service_install(TextBuffer report);
// Stops the service if it runs (waiting for it) and deletes it.
[[nodiscard]] ServiceSetup service_uninstall(TextBuffer report);

// Runs `monitor` under the service manager in `folder`: reports running,
// turns stop, shut-down and pre-shutdown into termination requests, and
// reports stopped when the process ends (with 0, or with the
// service-specific code kServiceStartFailed when `monitor` returns). A
// folder that cannot be used is said in the system's event log. Returns
// the process's exit code, or kNotUnderServiceManager when the program was
// not started by the service manager (always on Linux).
constexpr int kNotUnderServiceManager = -1;
int service_run(const char* folder, int (*monitor)());

// Whether a termination request came from the service manager.
bool is_service_request(int request);

enum class ServiceState { unsupported, absent, stopped, running, unknown };
// The state of the installed service; the folder of its command line into
// `folder` when it is installed.
ServiceState service_state(TextBuffer folder);
// Whether `folder` (a service's folder, UTF-8) is the working directory.
bool is_working_directory(const char* folder);

// Asks the service manager to stop the service; false when refused (the
// caller may not) or failed.
[[nodiscard]] bool service_stop();

}  // namespace plat
