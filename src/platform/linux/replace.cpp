// Replacing and renaming files on Linux: rename(2), which swaps a name in
// one step.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/files.h"
#include "platform/linux/paths.h"

namespace plat {

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
    (void)folder_of(target, directory.out());
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        (void)fsync(fd);
        close(fd);
    }
    return ReplaceResult::replaced;
}

bool rename_file(const char* source, const char* target) {
    return source != nullptr && target != nullptr && rename(source, target) == 0;
}

}  // namespace plat
