// The steps of a settings replace where the system's one-step replace can
// fail half-way (Windows' ReplaceFile): a record of the operations, so a
// test can stand in for them and fail them the way the system does.
#pragma once

#include <cstdint>

#include "platform/files.h"

namespace plat {

struct ReplaceSteps {
    // the one-step replace (ReplaceFile) that leaves the old file at
    // `backup`; false when it failed, at any point: the old file is then
    // at `target` or at `backup`, `source` at its own name
    bool (*replace)(const char* source, const char* target, const char* backup);
    bool (*exists)(const char* path);
    // a rename; with `overwrite` an existing target is replaced
    bool (*move)(const char* source, const char* target, bool overwrite);
    bool (*remove)(const char* path);
    // the security descriptor of `path` into `buffer`: false when it does
    // not fit, with the size it needs in *needed (0 on other failures)
    bool (*read_security)(const char* path, void* buffer, std::uint32_t size, std::uint32_t* needed);
    bool (*write_security)(const char* path, const void* descriptor);
    void (*pause)(std::uint32_t ms);
};

// The name beside `target` where the one-step replace leaves the old file
// ("<target>.rewrite-backup": a name of its own, never a user's ".old").
void replace_backup_path(const char* target, TextBuffer out);

// Replaces `target` by `source` with `steps`. The complete copy is never
// lost and the old file never stays under another name: the one-step
// replace leaves it at a known backup name, deleted afterwards; when that
// replace fails with the old file in place, a rename that keeps the old
// security descriptor replaces it (never one without it); when the old
// file left its name, the copy takes its place, or else the old file goes
// back; when even that fails, `source` stays (ReplaceResult::source_kept).
// Renames are tried a few times: another program may hold a file a moment.
[[nodiscard]] ReplaceResult replace_with_steps(const ReplaceSteps& steps, const char* source,
                                               const char* target);

// A rename onto `target` (replacing it) tried a few times, pausing between.
[[nodiscard]] bool move_with_retries(const ReplaceSteps& steps, const char* source, const char* target,
                                     bool overwrite);

}  // namespace plat
