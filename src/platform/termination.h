// Termination requests: a signal or a console event that ends the program
// at its next wait.
#pragma once

namespace plat {

// Handles termination requests from now on (POSIX: SIGTERM, SIGINT and
// SIGHUP; Windows: the console's Ctrl-C, Ctrl-Break, close, log-off and
// shut-down events). A request ends the running notification command and
// everything it started at once, cuts a sleep short, and keeps any new
// command from starting; `stop` then runs on the program's own thread at the
// next wait (a sleep, or the end of a command), with the signal number (or
// the console event), and must not return.
using StopAction = void (*)(int request);
void handle_termination_requests(StopAction stop);

// The pending termination request (a signal number or a console event), or
// -1 when there is none.
int termination_request();

// Makes a log-off no termination request from now on (Windows'
// CTRL_LOGOFF_EVENT, which does not say whose log-off it is): for a monitor
// that outlives the session that started it, a detached copy or a service.
// A copy without a console of its own does so from the start. POSIX has no
// such event.
void outlive_logoffs();

// What the number of a request is: "signal" (POSIX), "console event" (Windows).
const char* termination_request_kind();

}  // namespace plat
