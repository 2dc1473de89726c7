#include "text/fixed_text.h"

#include <cstdio>
#include <cstring>

#include "text/utf8.h"

std::size_t text_vformat(TextBuffer out, const char* fmt, va_list args) {
    if (out.data == nullptr || out.cap == 0) return 0;
    const int wanted = std::vsnprintf(out.data, out.cap, fmt, args);
    if (wanted < 0) {
        out.data[0] = '\0';
        return 0;
    }
    const std::size_t want = static_cast<std::size_t>(wanted);
    if (want < out.cap) return want;
    // the cut never ends inside a character
    const std::size_t kept = utf8_whole_length(out.data, out.cap - 1);
    out.data[kept] = '\0';
    return kept;
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
        std::size_t limit = count < out.cap - 1 ? count : out.cap - 1;
        // a cut to the buffer never ends inside a character
        if (count > limit && strnlen(source, out.cap) > limit) {
            limit = utf8_cut_length(source, limit + 1, limit);
        }
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

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point starting at units[*i]; *i moves past it.
char32_t next_code_point(const char16_t* units, std::size_t count, std::size_t* i) {
    const char32_t unit = units[(*i)++];
    if (unit < 0xD800 || unit > 0xDFFF) return unit;
    if (unit >= 0xDC00 || *i >= count) return kReplacement;  // a low half alone, or the last unit
    const char32_t low = units[*i];
    if (low < 0xDC00 || low > 0xDFFF) return kReplacement;
    ++*i;
    return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
}

}  // namespace

std::size_t text_copy_utf16(TextBuffer out, const char16_t* units, std::size_t count) {
    if (out.data == nullptr || out.cap == 0) return 0;
    std::size_t n = 0;
    std::size_t i = 0;
    while (units != nullptr && i < count && units[i] != 0) {
        const char32_t c = next_code_point(units, count, &i);
        char bytes[4];
        std::size_t length = 0;
        if (c < 0x80) {
            bytes[length++] = static_cast<char>(c);
        } else if (c < 0x800) {
            bytes[length++] = static_cast<char>(0xC0 | (c >> 6));
            bytes[length++] = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            bytes[length++] = static_cast<char>(0xE0 | (c >> 12));
            bytes[length++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[length++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            bytes[length++] = static_cast<char>(0xF0 | (c >> 18));
            bytes[length++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            bytes[length++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            bytes[length++] = static_cast<char>(0x80 | (c & 0x3F));
        }
        if (n + length > out.cap - 1) break;
        std::memcpy(out.data + n, bytes, length);
        n += length;
    }
    out.data[n] = '\0';
    return n;
}
