// The walk's loop, the same on both systems: each step of the backend is
// either a process, or one to skip (counted when it was refused), or the end.
#include "platform/process_walk.h"

#include "platform/backend.h"

namespace plat {

namespace {

// An entry of pid 0, empty name and zero measures: what the caller sees at
// the end, and what a skipped process leaves.
void clear_entry(ProcessEntry* out) {
    out->pid = 0;
    out->name[0] = '\0';
    out->working_set = 0;
    out->cpu_time = 0;
    out->start_time = 0;
}

}  // namespace

bool process_walk_begin(ProcessWalk* walk, ProcessMeasure measure) {
    walk->measure = measure;
    walk->unreadable = 0;
    walk->open = walk_open(walk);
    return walk->open;
}

bool process_walk_next(ProcessWalk* walk, ProcessEntry* out) {
    clear_entry(out);
    if (!walk->open) return false;
    for (;;) {
        switch (walk_step(walk, out)) {
            case WalkStep::entry:
                return true;
            case WalkStep::refused:
                ++walk->unreadable;
                break;
            case WalkStep::gone:
                break;
            case WalkStep::end:
                clear_entry(out);
                return false;
        }
        clear_entry(out);
    }
}

void process_walk_end(ProcessWalk* walk) {
    if (!walk->open) return;
    walk_close(walk);
    walk->open = false;
}

}  // namespace plat
