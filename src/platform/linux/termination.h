// What the Linux command runner tells the termination handler.
#pragma once

#include <signal.h>

namespace plat {

// The process group a termination request must kill (0: none). Set while
// the stop signals are blocked, so a request sees either no group or one
// that is complete.
void termination_track_group(int group);

// Blocks SIGTERM, SIGINT and SIGHUP for its lifetime.
class StopSignalsBlocked {
public:
    StopSignalsBlocked();
    ~StopSignalsBlocked();
    StopSignalsBlocked(const StopSignalsBlocked&) = delete;
    StopSignalsBlocked& operator=(const StopSignalsBlocked&) = delete;

private:
    sigset_t previous_{};
};

}  // namespace plat
