#include "text/text_cursor.h"

#include <cstdio>
#include <cstring>

#include "text/utf8.h"

TextCursor TextCursor::at_end(TextBuffer out, Fit fit) {
    if (out.data == nullptr || out.cap == 0) return TextCursor(TextBuffer{nullptr, 0}, 0, fit);
    const std::size_t length = strnlen(out.data, out.cap - 1);
    out.data[length] = '\0';
    return TextCursor(out, length, fit);
}

TextCursor TextCursor::fresh(TextBuffer out, Fit fit) {
    if (out.data != nullptr && out.cap > 0) out.data[0] = '\0';
    return at_end(out, fit);
}

void TextCursor::put(char c) {
    if (!fits_ && fit_ == Fit::whole) return;
    if (out_.data == nullptr || length_ + 1 >= out_.cap) {
        fits_ = false;
        return;
    }
    out_.data[length_++] = c;
    out_.data[length_] = '\0';
}

void TextCursor::repeat(char c, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) put(c);
}

void TextCursor::add(const char* fmt, ...) {
    if ((!fits_ && fit_ == Fit::whole) || out_.data == nullptr) {
        fits_ = false;
        return;
    }
    va_list args;
    va_start(args, fmt);
    const std::size_t room = out_.cap - length_;
    const int n = std::vsnprintf(out_.data + length_, room, fmt, args);
    va_end(args);
    if (n >= 0 && static_cast<std::size_t>(n) < room) {
        length_ += static_cast<std::size_t>(n);
        return;
    }
    fits_ = false;
    if (fit_ == Fit::whole || n < 0) {
        out_.data[length_] = '\0';
    } else {
        // vsnprintf kept what fits; the cut never ends inside a character
        length_ = utf8_whole_length(out_.data, out_.cap - 1);
        out_.data[length_] = '\0';
    }
}

std::size_t TextCursor::finish() {
    if (fits_ || fit_ == Fit::cut) return length_;
    if (out_.data != nullptr) out_.data[0] = '\0';
    length_ = 0;
    return 0;
}

namespace {

bool is_unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~';
}

}  // namespace

void url_encode(const char* source, TextBuffer out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    TextCursor text = TextCursor::fresh(out);
    if (source == nullptr || out.cap < 4) return;
    const std::size_t size = std::strlen(source);
    std::size_t step = 0;
    for (std::size_t i = 0; i < size; ++i) {
        // a character is encoded whole or not at all, each byte in at most
        // three characters: stop while they still fit
        if (step == 0) {
            const std::size_t length = utf8_char_length(source + i, size - i);
            step = length == 0 ? 1 : length;
            if (text.length() + 3 * step > out.cap - 2) break;
        }
        --step;
        const unsigned char c = static_cast<unsigned char>(source[i]);
        if (is_unreserved(c)) {
            text.put(static_cast<char>(c));
        } else if (c == ' ') {
            text.put('+');
        } else {
            text.put('%');
            text.put(kHex[c >> 4]);
            text.put(kHex[c & 0x0F]);
        }
    }
}
