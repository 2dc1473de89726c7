#include "output/console.h"

#include <cstdarg>

#include "output/silent_mode.h"

namespace {
std::FILE* g_out = nullptr;
std::FILE* g_err = nullptr;
ConsoleSink g_sink = nullptr;
constexpr std::size_t kSinkLineCap = 1024;

void write_to(std::FILE* stream, const char* fmt, va_list args) LH_PRINTF(2, 0);
void write_to(std::FILE* stream, const char* fmt, va_list args) {
    if (g_sink != nullptr) {
        FixedText<kSinkLineCap> text;
        text_vformat(text.out(), fmt, args);
        g_sink(text.c_str());
        return;
    }
    std::vfprintf(stream, fmt, args);
    // console lines must be visible at once, also through a pipe
    std::fflush(stream);
}
}  // namespace

void console_out(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    write_to(g_out != nullptr ? g_out : stdout, fmt, args);
    va_end(args);
}

void console_err(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    write_to(g_err != nullptr ? g_err : stderr, fmt, args);
    va_end(args);
}

bool console_notes_shown() { return !silent_mode(); }

void console_note(const char* fmt, ...) {
    if (!console_notes_shown()) return;
    va_list args;
    va_start(args, fmt);
    write_to(g_out != nullptr ? g_out : stdout, fmt, args);
    va_end(args);
}

void console_redirect(std::FILE* out, std::FILE* err) {
    g_out = out;
    g_err = err;
}

void console_divert(ConsoleSink sink) { g_sink = sink; }
