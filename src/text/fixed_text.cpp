#include "text/fixed_text.h"

#include <cstdio>

std::size_t text_vformat(TextBuffer out, const char* fmt, va_list args) {
    if (out.data == nullptr || out.cap == 0) return 0;
    const int wanted = std::vsnprintf(out.data, out.cap, fmt, args);
    if (wanted < 0) {
        out.data[0] = '\0';
        return 0;
    }
    const std::size_t want = static_cast<std::size_t>(wanted);
    return want < out.cap ? want : out.cap - 1;
}

std::size_t text_format(TextBuffer out, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const std::size_t kept = text_vformat(out, fmt, args);
    va_end(args);
    return kept;
}

std::size_t text_vappend(TextBuffer out, const char* fmt, va_list args) {
    if (out.data == nullptr || out.cap == 0) return 0;
    const std::size_t used = strnlen(out.data, out.cap - 1);
    out.data[used] = '\0';
    return used + text_vformat(TextBuffer{out.data + used, out.cap - used}, fmt, args);
}

std::size_t text_append(TextBuffer out, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const std::size_t kept = text_vappend(out, fmt, args);
    va_end(args);
    return kept;
}

std::size_t text_copy_n(TextBuffer out, const char* source, std::size_t count) {
    if (out.data == nullptr || out.cap == 0) return 0;
    std::size_t n = 0;
    if (source != nullptr) {
        const std::size_t limit = count < out.cap - 1 ? count : out.cap - 1;
        while (n < limit && source[n] != '\0') {
            out.data[n] = source[n];
            ++n;
        }
    }
    out.data[n] = '\0';
    return n;
}

std::size_t text_copy(TextBuffer out, const char* source) {
    return text_copy_n(out, source, static_cast<std::size_t>(-1));
}
