#include "platform/win32/convert.h"

namespace plat {

bool utf8_to_wide(const char* utf8, wchar_t* out, std::size_t cap) {
    if (cap == 0) return false;
    out[0] = L'\0';
    if (utf8 == nullptr || cap > 0x7FFFFFFF) return false;
    const int got = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, out, static_cast<int>(cap));
    return got > 0;
}

bool ansi_to_wide(const char* text, wchar_t* out, std::size_t cap) {
    if (cap == 0 || cap > 0x7FFFFFFF) return false;
    return MultiByteToWideChar(CP_ACP, 0, text, -1, out, static_cast<int>(cap)) > 0;
}

bool wide_to_utf8(const wchar_t* wide, TextBuffer out) {
    text_copy(out, "");
    char utf8[kTransientPathCap * 3];
    if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, static_cast<int>(sizeof utf8), nullptr, nullptr) <= 0) {
        return false;
    }
    text_copy(out, utf8);
    return true;
}

std::uint64_t file_time_value(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace plat
