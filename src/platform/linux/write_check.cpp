// Whether a kept file could be written, on Linux: asked of the system with
// the effective user's rights, nothing opened or made.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/files.h"
#include "platform/linux/paths.h"
#include "platform/transient_files.h"

namespace plat {

FileRefusal kept_file_write_refusal(const char* path) {
    if (path == nullptr || path[0] == '\0') return FileRefusal::failed;
    struct stat link {};
    if (lstat(path, &link) != 0) {
        FixedText<kTransientPathCap> folder;
        // a missing file would be made in its folder
        if (!folder_of(path, folder.out())) return FileRefusal::failed;
        return faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0 ? FileRefusal::none
                                                                                 : FileRefusal::failed;
    }
    if (S_ISLNK(link.st_mode) && link.st_uid != 0 && link.st_uid != geteuid()) {
        return FileRefusal::foreign_link;
    }
    struct stat target {};
    if (stat(path, &target) != 0) return FileRefusal::failed;
    if (!S_ISREG(target.st_mode)) return FileRefusal::not_regular;
    return faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0 ? FileRefusal::none : FileRefusal::failed;
}

}  // namespace plat
