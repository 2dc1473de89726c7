// What the policy shared by both systems (platform/*.cpp) asks of the
// backend built, and what the backends hand back to it. Included only
// inside src/platform/.
#pragma once

#include "platform/process_walk.h"
#include "platform/system_event.h"
#include "text/fixed_text.h"

namespace plat {

// ---------------------------------------------------------------- process walk

// What one step of a walk found.
enum class WalkStep {
    entry,    // *out holds the next process
    gone,     // a process that ended since it was listed: skipped
    refused,  // a process whose measure we may not read: skipped and counted
    end,      // no process left
};

// Opens the system's list of processes into walk->state; false when it
// cannot be read.
[[nodiscard]] bool walk_open(ProcessWalk* walk);
// Reads the next listed process with the walk's measure into *out.
[[nodiscard]] WalkStep walk_step(ProcessWalk* walk, ProcessEntry* out);
// Gives the list back; called only for a walk that opened.
void walk_close(ProcessWalk* walk);

// ---------------------------------------------------------------- transient files

// Records `path`; false when the registry is full or the path too long.
// Each backend's create_transient_file makes the file and records it here.
[[nodiscard]] bool transient_record(const char* path);

// ---------------------------------------------------------------- commands

// An ended command's processes may still be ending (Windows ends a job's
// processes after TerminateJobObject returns) and holding its files.
struct CommandWatch {
    std::uint32_t (*active)(void* group);  // processes still running
    void (*pause)(std::uint32_t ms);
};
// Looks every `pause_ms`, at most `limit_ms`, until `group` runs no
// process; false when some process is still there.
[[nodiscard]] bool wait_until_no_process(const CommandWatch& watch, void* group, std::uint32_t limit_ms,
                                         std::uint32_t pause_ms);

// ---------------------------------------------------------------- kept files

// A final path as Windows names it, as a path the file functions take:
// "\\?\C:\x" is "C:\x", and a share's "\\?\UNC\srv\share\x" is
// "\\srv\share\x" (never the relative "UNC\srv\share\x").
void plain_final_path(const char* final_path, TextBuffer out);

// ---------------------------------------------------------------- termination requests

// A handler (a signal handler, a console control handler) records a
// request, and the waits of the program's own thread call
// termination_checkpoint.

// Records a request (first one wins); safe in a signal handler.
void termination_record(int request);
// Runs the stop action when a request is pending. Does not return then.
void termination_checkpoint();
// Keeps the action that termination_checkpoint runs.
void termination_set_action(void (*action)(int));
// Whether outlive_logoffs was called.
[[nodiscard]] bool logoffs_outlived();

// ---------------------------------------------------------------- system events

// Hands one recorded event to the system's log.
void event_write(const EventRecord& event);

}  // namespace plat
