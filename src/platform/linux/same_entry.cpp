// Comparing two paths by the folder they resolve to, on Linux.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace plat {

namespace {

// The resolved folder of `path` in `folder` (PATH_MAX bytes) and its last
// name; false when the folder cannot be resolved.
bool split_resolved(const char* path, char* folder, const char** name) {
    const char* slash = std::strrchr(path, '/');
    char parent[PATH_MAX];
    if (slash == nullptr) {
        std::strcpy(parent, ".");
        *name = path;
    } else {
        const std::size_t length = slash == path ? 1 : static_cast<std::size_t>(slash - path);
        if (length >= sizeof parent) return false;
        std::memcpy(parent, path, length);
        parent[length] = '\0';
        *name = slash + 1;
    }
    return realpath(parent, folder) != nullptr;
}

}  // namespace

bool same_folder_entry(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return false;
    char folder_a[PATH_MAX];
    char folder_b[PATH_MAX];
    const char* name_a = nullptr;
    const char* name_b = nullptr;
    if (!split_resolved(a, folder_a, &name_a) || !split_resolved(b, folder_b, &name_b)) return false;
    return std::strcmp(name_a, name_b) == 0 && std::strcmp(folder_a, folder_b) == 0;
}

}  // namespace plat
