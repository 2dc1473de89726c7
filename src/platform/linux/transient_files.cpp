// Transient files on Linux: created exclusively with mode 0600, never
// through a link, and recorded.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/backend.h"
#include "platform/transient_files.h"

namespace plat {

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

}  // namespace plat
