// "-status" and "-stop" for a monitor that the service manager runs in this
// folder: it is managed there, not through the pid file.
#pragma once

// True when the installed service runs (or is stopping) with this folder;
// "-status" and "-stop" then use the two commands below.
bool service_monitor_here();
// Says that the monitor runs as the service; 0.
int run_service_status();
// Stops the service through the service manager when this account may,
// otherwise says which command does; 0 stopped, 1 not.
int run_service_stop();
