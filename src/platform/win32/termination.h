// What the Windows command runner and sleep share with the console control
// handler.
#pragma once

#include <windows.h>

namespace plat {

// The job of the running notification command (null: none), which a
// termination request ends at once.
void termination_track_job(HANDLE job);

// Records a request that came from elsewhere than the console (the service
// manager): ends the running command's job and wakes the program's thread.
void termination_raise(int request);

// Sleeps `milliseconds`, or less when a termination request comes.
void termination_wait(DWORD milliseconds);

}  // namespace plat
