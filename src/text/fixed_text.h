// Fixed-capacity text: every text of the program lives in one of these.
// A text longer than its buffer is cut at capacity - 1 and always terminated;
// nothing is ever grown or allocated.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstring>
#include <type_traits>

// printf-format checking; MinGW checks plain `printf` against the MS runtime,
// which rejects %zu and %llu, so it gets the GNU flavour.
#if defined(__MINGW32__)
#define LH_PRINTF(fmt_index, first_arg) __attribute__((format(gnu_printf, fmt_index, first_arg)))
#else
#define LH_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#endif

// A caller's buffer: `cap` bytes at `data`, terminator included.
struct TextBuffer {
    char* data;
    std::size_t cap;
};

// Each writes at most out.cap - 1 characters and terminates (when cap > 0).
// The result is the length kept after the cut, never what vsnprintf would
// have written.
std::size_t text_vformat(TextBuffer out, const char* fmt, va_list args) LH_PRINTF(2, 0);
std::size_t text_format(TextBuffer out, const char* fmt, ...) LH_PRINTF(2, 3);
std::size_t text_vappend(TextBuffer out, const char* fmt, va_list args) LH_PRINTF(2, 0);
std::size_t text_append(TextBuffer out, const char* fmt, ...) LH_PRINTF(2, 3);
// Copies `source` (may be null: empty text), cut to fit.
std::size_t text_copy(TextBuffer out, const char* source);
// Copies at most `count` bytes of `source` (stops early at its terminator).
std::size_t text_copy_n(TextBuffer out, const char* source, std::size_t count);
// Copies `count` UTF-16 units (the system's wide-character names) as UTF-8,
// cut after the last whole character that fits, so the text stays valid
// UTF-8. An unpaired surrogate becomes U+FFFD; a zero unit ends the text.
std::size_t text_copy_utf16(TextBuffer out, const char16_t* units, std::size_t count);

template <std::size_t N>
struct FixedText {
    static_assert(N >= 1, "a text needs room for its terminator");
    static constexpr std::size_t capacity = N;

    char buf[N] = {};

    const char* c_str() const { return buf; }
    std::size_t length() const { return std::strlen(buf); }
    bool empty() const { return buf[0] == '\0'; }
    void clear() { buf[0] = '\0'; }
    TextBuffer out() { return TextBuffer{buf, N}; }

    std::size_t assign(const char* source) { return text_copy(out(), source); }

    std::size_t format(const char* fmt, ...) LH_PRINTF(2, 3) {
        va_list args;
        va_start(args, fmt);
        const std::size_t kept = text_vformat(out(), fmt, args);
        va_end(args);
        return kept;
    }

    std::size_t append(const char* fmt, ...) LH_PRINTF(2, 3) {
        va_list args;
        va_start(args, fmt);
        const std::size_t kept = text_vappend(out(), fmt, args);
        va_end(args);
        return kept;
    }

    bool operator==(const char* other) const { return other != nullptr && std::strcmp(buf, other) == 0; }
};

static_assert(std::is_trivially_copyable_v<FixedText<8>>);
