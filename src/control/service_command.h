// loadhawk as a Windows service: "-install", "-uninstall", and the run
// under the service manager that the installed command line starts.
#pragma once

// Registers the service for the working directory and prints what was
// done and the commands to start, stop and remove it; 0, or 1 when refused
// (not elevated, a service of that name exists, Linux) or failed.
int run_service_install();
// Stops and removes the service; 0, or 1.
int run_service_uninstall();
// The monitor run in `folder` under the service manager: silent, its
// console texts kept in the log, a start-up failure also in the system's
// event log. Returns the exit code.
int run_as_service(const char* folder);
