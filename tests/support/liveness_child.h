// Child processes that the liveness tests hold a pid file against, built on
// ChildProcess (each ends by pid with its owner, also when a test fails).
#pragma once

#include <sys/types.h>

#include "support/child_process.h"

// A copy of this test program under its own process name, waiting: to the
// liveness test it is a live loadhawk.
bool start_twin(ChildProcess* child);

// The sleep program: a live process of another name.
bool start_sleeper(ChildProcess* child);

// Kills the child and waits until it has ended, without reaping it: a zombie.
void make_zombie(const ChildProcess& child);

// True when the child `pid` has ended (it stays unreaped).
bool has_ended(pid_t pid);
