#include "platform/linux/paths.h"

#include <cstring>

namespace plat {

bool folder_of(const char* path, TextBuffer out) {
    const char* slash = std::strrchr(path, '/');
    if (slash == nullptr) return text_copy(out, ".") == 1;
    const std::size_t length = slash == path ? 1 : static_cast<std::size_t>(slash - path);
    return text_copy_n(out, path, length) == length;
}

}  // namespace plat
