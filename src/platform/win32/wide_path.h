// UTF-8 paths and names to and from the wide-character calls.
#pragma once

#include <windows.h>

#include <cstddef>

#include "platform/platform.h"

namespace plat {

// Converts the UTF-8 text `utf8` into `out` (cap wide characters, terminator
// included); false when it is not valid UTF-8 or does not fit.
inline bool utf8_to_wide(const char* utf8, wchar_t* out, std::size_t cap) {
    if (cap == 0) return false;
    out[0] = L'\0';
    if (utf8 == nullptr || cap > 0x7FFFFFFF) return false;
    const int got = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, out, static_cast<int>(cap));
    return got > 0;
}

// A UTF-8 path as the wide-character file calls take it. `ok` is false
// (and the text empty) when the path is null, not valid UTF-8 or too long.
struct WidePath {
    wchar_t text[kTransientPathCap];
    bool ok;
    explicit WidePath(const char* utf8) : ok(utf8_to_wide(utf8, text, kTransientPathCap)) {}
};

}  // namespace plat
