// The pending termination request, shared by both backends: a handler (a
// signal handler, a console control handler) records it, and the waits of
// the program's own thread call termination_checkpoint.
#pragma once

namespace plat {

// Records a request (first one wins); safe in a signal handler.
void termination_record(int request);

// Runs the stop action when a request is pending. Does not return then.
void termination_checkpoint();

// Keeps the action that termination_checkpoint runs.
void termination_set_action(void (*action)(int));

}  // namespace plat
