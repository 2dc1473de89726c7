// Comparing two paths by the folder they resolve to, on Linux.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/linux/paths.h"

namespace plat {

namespace {

// The resolved folder of `path` in `folder` (PATH_MAX bytes) and its last
// name; false when the folder cannot be resolved.
bool split_resolved(const char* path, char* folder, const char** name) {
    FixedText<PATH_MAX> parent;
    if (!folder_of(path, parent.out())) return false;
    const char* slash = std::strrchr(path, '/');
    *name = slash == nullptr ? path : slash + 1;
    return realpath(parent.c_str(), folder) != nullptr;
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
