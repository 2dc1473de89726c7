// The steps of a settings replace where the system's one-step replace can
// fail half-way (Windows' ReplaceFile): a record of the operations, so a
// test can stand in for them and fail them the way the system does.
#pragma once

#include "platform/files.h"

namespace plat {

struct ReplaceSteps {
    // the one-step replace (ReplaceFile); false when it failed, at any point
    bool (*replace)(const char* source, const char* target);
    bool (*exists)(const char* path);
    // a rename; with `overwrite` an existing target is replaced
    bool (*move)(const char* source, const char* target, bool overwrite);
    // gives `to` the security descriptor of `from` (best effort)
    bool (*copy_security)(const char* from, const char* to);
};

// Replaces `target` by `source` with `steps`. The complete copy is never
// lost: when the one-step replace fails and the old file is still in
// place, it is replaced by a rename that keeps its security descriptor;
// when the failure left no file at `target`, the copy is put in its place;
// when even that fails, `source` stays (ReplaceResult::source_kept).
[[nodiscard]] ReplaceResult replace_with_steps(const ReplaceSteps& steps, const char* source,
                                               const char* target);

}  // namespace plat
