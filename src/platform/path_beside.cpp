#include "platform/platform.h"

#include <cstring>

namespace plat {

void path_beside(const char* file, const char* name, TextBuffer out) {
    text_copy(out, "");
    if (file == nullptr || name == nullptr) return;
    // Windows takes both separators; a POSIX name may hold a backslash
    const bool backslash = interpreter() == Interpreter::cmd;
    const char* last = nullptr;
    for (const char* p = file; *p != '\0'; ++p) {
        if (*p == '/' || (backslash && *p == '\\')) last = p;
    }
    if (last == nullptr) {
        text_copy(out, name);
        return;
    }
    text_copy_n(out, file, static_cast<std::size_t>(last - file) + 1);
    text_append(out, "%s", name);
}

}  // namespace plat
