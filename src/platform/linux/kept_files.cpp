// Files that loadhawk keeps, on Linux: opened without blocking, links
// followed only when root or we own them, regular files only.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/linux/kept_open.h"

namespace plat {

bool delete_file(const char* path) { return path != nullptr && unlink(path) == 0; }

bool flush_to_disk(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0) return false;
    return fsync(fileno(file)) == 0;
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

}  // namespace plat
