#include "text/json_text.h"

#include <cstring>

#include "text/utf8.h"

void json_add_string(TextCursor* out, const char* text, std::size_t size) {
    out->put('"');
    std::size_t at = 0;
    while (text != nullptr && at < size) {
        const std::size_t length = utf8_char_length(text + at, size - at);
        if (length == 0) {
            out->put('?');
            ++at;
            continue;
        }
        const auto c = static_cast<unsigned char>(text[at]);
        if (c == '"' || c == '\\') {
            out->put('\\');
            out->put(static_cast<char>(c));
        } else if (c == '\n') {
            out->add("\\n");
        } else if (c == '\r') {
            out->add("\\r");
        } else if (c == '\t') {
            out->add("\\t");
        } else if (c < 0x20) {
            out->add("\\u%04x", static_cast<unsigned>(c));
        } else {
            for (std::size_t i = 0; i < length; ++i) out->put(text[at + i]);
        }
        at += length;
    }
    out->put('"');
}

void json_add_text(TextCursor* out, const char* text) {
    json_add_string(out, text, text != nullptr ? std::strlen(text) : 0);
}

std::size_t utf8_prefix_of_chars(const char* text, std::size_t size, std::size_t chars) {
    std::size_t at = 0;
    for (std::size_t n = 0; n < chars && at < size; ++n) {
        const std::size_t length = utf8_char_length(text + at, size - at);
        at += length == 0 ? 1 : length;
    }
    return at;
}
