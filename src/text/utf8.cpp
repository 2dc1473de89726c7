#include "text/utf8.h"

#include <cstring>

namespace {

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

std::size_t utf8_char_length(const char* text, std::size_t size) {
    if (size == 0) return 0;
    const auto* b = reinterpret_cast<const unsigned char*>(text);
    const unsigned char lead = b[0];
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    // the range the second byte may take, which rules out overlong forms,
    // surrogates (ED A0..BF) and values past U+10FFFF (F4 90..)
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;  // a continuation byte, C0/C1 (overlong) or F5..FF
    }
    if (size < length || b[1] < low || b[1] > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!continuation(b[i])) return 0;
    }
    return length;
}

std::size_t utf8_make_printable(char* text) {
    if (text == nullptr) return 0;
    const std::size_t size = std::strlen(text);
    std::size_t read = 0;
    std::size_t kept = 0;
    while (read < size) {
        const std::size_t length = utf8_char_length(text + read, size - read);
        const auto lead = static_cast<unsigned char>(text[read]);
        const bool control = lead < 0x20 || lead == 0x7F ||
                             (length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[read + 1]) < 0xA0);
        if (length == 0 || control) {
            // a C1 control is one character: one '?' for both its bytes
            text[kept++] = '?';
            read += length == 0 ? 1 : length;
            continue;
        }
        std::memmove(text + kept, text + read, length);
        kept += length;
        read += length;
    }
    text[kept] = '\0';
    return kept;
}

std::size_t utf8_cut_length(const char* text, std::size_t size, std::size_t limit) {
    if (size <= limit) return size;
    return utf8_whole_length(text, limit);
}

std::size_t utf8_whole_length(const char* text, std::size_t length) {
    const auto* b = reinterpret_cast<const unsigned char*>(text);
    // back over at most three continuation bytes to the lead they follow
    std::size_t lead = length;
    while (lead > 0 && length - lead < 3 && continuation(b[lead - 1])) --lead;
    if (lead == 0) return length;
    const unsigned char c = b[lead - 1];
    const std::size_t announced = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    // bytes that form no character were not split by the cut: they stay
    if (c < 0xC2 || c > 0xF4 || announced <= length - lead + 1) return length;
    return lead - 1;
}
