// The conversions at the Windows seam: UTF-8 paths and names to and from
// the wide-character calls, and file times to one count.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "platform/transient_files.h"
#include "text/fixed_text.h"

namespace plat {

// Converts the UTF-8 text `utf8` into `out` (cap wide characters, terminator
// included); false when it is not valid UTF-8 or does not fit.
[[nodiscard]] bool utf8_to_wide(const char* utf8, wchar_t* out, std::size_t cap);

// Converts `text` in the ANSI code page into `out` (cap wide characters,
// terminator included); false when it does not fit.
[[nodiscard]] bool ansi_to_wide(const char* text, wchar_t* out, std::size_t cap);

// Converts the wide text `wide` into UTF-8 in `out`; false (and empty text)
// when it does not convert or does not fit.
[[nodiscard]] bool wide_to_utf8(const wchar_t* wide, TextBuffer out);

// A UTF-8 path as the wide-character file calls take it. `ok` is false
// (and the text empty) when the path is null, not valid UTF-8 or too long.
struct WidePath {
    wchar_t text[kTransientPathCap];
    bool ok;
    explicit WidePath(const char* utf8) : ok(utf8_to_wide(utf8, text, kTransientPathCap)) {}
};

// A file time's two 32-bit halves as one count of 100-ns units.
std::uint64_t file_time_value(const FILETIME& time);

}  // namespace plat
