// Files that loadhawk keeps, deletes and replaces.
#pragma once

#include <cstdio>

#include "text/fixed_text.h"

namespace plat {

// Why a kept file was not opened.
enum class FileRefusal {
    none,
    missing,       // no such file (reading)
    not_regular,   // a directory, FIFO, device or socket: never opened
    foreign_link,  // a link that neither root nor we own: never followed
    failed,        // any other failure (permissions, a read-only directory)
};
enum class KeptFileMode {
    read,     // binary reading
    append,   // text appending, created when missing
    rewrite,  // text writing from the start, created when missing
};
// Opens a file that loadhawk keeps (a settings file, the log, the pid file)
// without blocking: a link is followed only when root or this process's
// user owns it, and anything that is not a regular file is refused. Null,
// with the reason in *why, when it is not opened.
[[nodiscard]] std::FILE* open_kept_file(const char* path, KeptFileMode mode, FileRefusal* why);

// Why this process could not open the kept file `path` for writing, found
// without creating or changing anything: an existing file by its own
// permissions (and the rules of open_kept_file), a missing one by its
// folder's. none when it could.
[[nodiscard]] FileRefusal kept_file_write_refusal(const char* path);

// The file a kept name stands for: the target of a link that root or we
// own (so a settings file kept elsewhere is rewritten where it lies), the
// name itself otherwise. False when a link cannot be resolved or is not
// ours to follow.
[[nodiscard]] bool kept_file_target(const char* path, TextBuffer out);

[[nodiscard]] bool delete_file(const char* path);

// What stops this process from writing the kept file `path`, and the fix,
// for a message after the file's name: on Linux "owner root, loadhawk runs
// as nobody; fix: chown nobody: /abs/path" (the folder's owner and the
// folder when the file is missing); on Windows the account and the file.
void write_access_advice(const char* path, TextBuffer out);

// Makes written data of `file` durable (fflush, then fsync / _commit).
[[nodiscard]] bool flush_to_disk(std::FILE* file);

// Replaces `target` by `source` in one step: `target` is always either the
// old or the new file, never missing or partial. The new file keeps the
// permissions of the old one.
enum class ReplaceResult {
    replaced,    // `target` is the new file; `source` is gone
    kept,        // `target` is the old file, whole; `source` is still there
    source_kept, // `target` could not be restored or replaced: `source` is
                 // the only complete copy and must not be deleted
};
[[nodiscard]] ReplaceResult replace_file(const char* source, const char* target);

// The path of the file `name` in the directory of `file` (`name` alone when
// `file` has no directory part).
void path_beside(const char* file, const char* name, TextBuffer out);

// Renames `source` onto `target` in one step, replacing `target`: a reader
// sees the old or the new file. Unlike replace_file it keeps the new
// file's own permissions and does not wait for the disk.
[[nodiscard]] bool rename_file(const char* source, const char* target);

// Whether the paths `a` and `b` name the same entry of the same folder:
// their folders, resolved (links, "." and ".."; on Windows the full path),
// are one, and their last names are equal (on Windows regardless of case).
// The entries need not exist; a folder that cannot be resolved is unequal.
[[nodiscard]] bool same_folder_entry(const char* a, const char* b);

}  // namespace plat
