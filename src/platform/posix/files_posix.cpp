// Files and the computer name on POSIX.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/kept_open.h"
#include "platform/transient_registry.h"

namespace plat {

bool delete_file(const char* path) { return path != nullptr && unlink(path) == 0; }

bool flush_to_disk(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0) return false;
    return fsync(fileno(file)) == 0;
}

namespace {

// The directory part of `path` ("." when it has none), for syncing a rename.
void directory_of(const char* path, TextBuffer out) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) {
        text_copy(out, ".");
    } else if (slash == path) {
        text_copy(out, "/");
    } else {
        text_copy_n(out, path, static_cast<std::size_t>(slash - path));
    }
}

}  // namespace

ReplaceResult replace_file(const char* source, const char* target) {
    if (source == nullptr || target == nullptr) return ReplaceResult::kept;
    // the new file takes the old one's permission bits (and owner, where we may)
    struct stat old_state {};
    if (stat(target, &old_state) == 0) {
        if (chmod(source, old_state.st_mode & 07777) != 0) return ReplaceResult::kept;
        if (chown(source, old_state.st_uid, old_state.st_gid) != 0) {
            // not ours to give away; the mode bits are what keep it private
        }
    }
    // rename(2) swaps the name in one step: readers see the old or the new
    // file, and a failed rename leaves both as they were
    if (rename(source, target) != 0) return ReplaceResult::kept;
    FixedText<4096> directory;
    directory_of(target, directory.out());
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)fsync(fd);
        close(fd);
    }
    return ReplaceResult::replaced;
}

namespace {

// A link that root or this process's user made on purpose may be followed;
// one that another user owns never is.
bool trusted_link(const struct stat& link) { return link.st_uid == 0 || link.st_uid == geteuid(); }

}  // namespace

int open_kept_fd(const char* path, int flags, unsigned create_mode, FileRefusal* why) {
    *why = FileRefusal::failed;
    if (path == nullptr || path[0] == '\0') return -1;
    // never block: a FIFO at the name would otherwise wait for a writer for ever
    const int open_flags = flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    int fd = open(path, open_flags | O_NOFOLLOW, create_mode);
    if (fd < 0 && errno == ELOOP) {
        struct stat link {};
        if (lstat(path, &link) != 0 || !S_ISLNK(link.st_mode)) return -1;
        if (!trusted_link(link)) {
            *why = FileRefusal::foreign_link;
            return -1;
        }
        fd = open(path, open_flags, create_mode);
    }
    if (fd < 0) {
        if (errno == ENOENT) *why = FileRefusal::missing;
        // a directory opened for writing, a FIFO without a reader
        if (errno == EISDIR || errno == ENXIO) *why = FileRefusal::not_regular;
        return -1;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *why = S_ISREG(st.st_mode) ? FileRefusal::failed : FileRefusal::not_regular;
        close(fd);
        return -1;
    }
    const int status = fcntl(fd, F_GETFL);
    if (status < 0 || fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        close(fd);
        return -1;
    }
    *why = FileRefusal::none;
    return fd;
}

std::FILE* open_kept_file(const char* path, KeptFileMode mode, FileRefusal* why) {
    FileRefusal ignored = FileRefusal::none;
    if (why == nullptr) why = &ignored;
    int flags = O_RDONLY;
    const char* stdio_mode = "rb";
    if (mode == KeptFileMode::append) {
        flags = O_WRONLY | O_APPEND | O_CREAT;
        stdio_mode = "a";
    } else if (mode == KeptFileMode::rewrite) {
        flags = O_WRONLY | O_CREAT;
        stdio_mode = "w";
    }
    // created as fopen would: 0666 less the umask
    const int fd = open_kept_fd(path, flags, 0666, why);
    if (fd < 0) return nullptr;
    // truncated only once it is known to be a regular file
    if (mode == KeptFileMode::rewrite && ftruncate(fd, 0) != 0) {
        *why = FileRefusal::failed;
        close(fd);
        return nullptr;
    }
    std::FILE* file = fdopen(fd, stdio_mode);
    if (file == nullptr) {
        *why = FileRefusal::failed;
        close(fd);
    }
    return file;
}

bool kept_file_target(const char* path, TextBuffer out) {
    text_copy(out, "");
    if (path == nullptr || path[0] == '\0') return false;
    struct stat link {};
    if (lstat(path, &link) != 0 || !S_ISLNK(link.st_mode)) {
        text_copy(out, path);
        return true;
    }
    if (!trusted_link(link)) return false;
    // the whole chain of links, resolved by the system
    char resolved[PATH_MAX];
    if (realpath(path, resolved) == nullptr) return false;
    text_copy(out, resolved);
    return std::strlen(resolved) < out.cap;
}

namespace {

// A new owner-only file at `path`, recorded; -1 when it cannot be made.
int create_transient_descriptor(const char* path) {
    if (path == nullptr || path[0] == '\0') return -1;
    // a leftover, a link or a FIFO at the name goes; a directory stays and fails
    (void)unlink(path);
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (!transient_record(path)) {
        close(fd);
        (void)unlink(path);
        return -1;
    }
    return fd;
}

}  // namespace

std::FILE* create_transient_file(const char* path) {
    const int fd = create_transient_descriptor(path);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        close(fd);
        remove_transient_file(path);
    }
    return file;
}

bool write_transient_file(const char* path, const char* data, std::size_t size, FileAccess access) {
    const int fd = create_transient_descriptor(path);
    if (fd < 0) return false;
    // fchmod is not narrowed by the umask, as the mode of open(2) is
    bool ok = data != nullptr && (access == FileAccess::owner_only || fchmod(fd, 0644) == 0);
    while (ok && size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) ok = false;
    if (!ok) remove_transient_file(path);
    return ok;
}

bool rename_file(const char* source, const char* target) {
    return source != nullptr && target != nullptr && rename(source, target) == 0;
}

bool computer_name(TextBuffer out) {
    text_copy(out, "");
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return false;
    text_copy(out, name);
    return true;
}

}  // namespace plat
