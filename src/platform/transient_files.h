// Files made for the moment and removed again, even on a termination request.
#pragma once

#include <cstddef>
#include <cstdio>

namespace plat {

// Files that loadhawk creates and deletes again (the mail message, the
// temporary copy of a settings file, the curl configuration, the metrics
// copy) are made only here: created exclusively, owner-only from the first
// byte (POSIX mode 0600; Windows: the folder's inherited ACL), never through
// a link, and recorded until removed or released, so that a termination
// request can remove every one of them. Paths are UTF-8.
constexpr std::size_t kTransientFilesMax = 4;
constexpr std::size_t kTransientPathCap = 1024;

// Opens a new file `path` for writing in binary mode. Whatever stands at
// that name already (a leftover of a crash, a planted link or FIFO) is
// removed first, never opened: the caller holds the lock that makes the
// name its own. Null when the file cannot be created, the path is too long
// or the registry is full.
[[nodiscard]] std::FILE* create_transient_file(const char* path);

// Who may read a transient file once it is in place.
enum class FileAccess {
    owner_only,       // POSIX mode 0600
    readable_by_all,  // POSIX mode 0644, whatever the umask: figures, never secrets
};

// Writes `size` bytes of `data` to a new transient file `path`, created as
// create_transient_file does, and closes it: no C library stream, so no
// heap. On Windows the file takes the folder's inherited ACL for either
// access. False (and the file removed) when it cannot be created or
// written whole.
[[nodiscard]] bool write_transient_file(const char* path, const char* data, std::size_t size,
                                        FileAccess access);

// Deletes `path` and forgets it.
void remove_transient_file(const char* path);

// Forgets `path` without deleting it (it was renamed into place).
void release_transient_file(const char* path);

// Deletes every recorded transient file. Safe to call from a signal handler
// on POSIX (it only calls unlink).
void remove_transient_files();

}  // namespace plat
