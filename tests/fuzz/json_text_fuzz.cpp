// json_add_string over arbitrary bytes: the output is one JSON string by the
// grammar (no raw control character, only the escapes it allows, valid
// UTF-8 throughout), and decoding it gives back the input with each byte
// that is no part of a valid UTF-8 character as '?'.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/json_text.h"
#include "text/utf8.h"

namespace {

int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The string's value, or aborts when `json` is no valid JSON string whose
// escapes stand only for characters below U+0080.
std::string decode(const std::string& json) {
    if (json.size() < 2 || json.front() != '"' || json.back() != '"') std::abort();
    std::string value;
    for (std::size_t i = 1; i + 1 < json.size();) {
        const auto c = static_cast<unsigned char>(json[i]);
        if (c == '"' || c < 0x20) std::abort();
        if (c != '\\') {
            const std::size_t length = utf8_char_length(json.data() + i, json.size() - 1 - i);
            if (length == 0) std::abort();
            value.append(json, i, length);
            i += length;
            continue;
        }
        if (i + 2 >= json.size()) std::abort();
        const char e = json[i + 1];
        const char* simple = "\"\\/bfnrt";
        const char* plain = "\"\\/\b\f\n\r\t";
        bool found = false;
        for (int k = 0; simple[k] != '\0'; ++k) {
            if (e == simple[k]) {
                value.push_back(plain[k]);
                found = true;
            }
        }
        if (found) {
            i += 2;
            continue;
        }
        if (e != 'u' || i + 6 >= json.size()) std::abort();
        int code = 0;
        for (std::size_t k = 2; k < 6; ++k) {
            const int d = hex(json[i + k]);
            if (d < 0) std::abort();
            code = code * 16 + d;
        }
        if (code >= 0x80) std::abort();
        value.push_back(static_cast<char>(code));
        i += 6;
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string expected;
    for (std::size_t i = 0; i < size;) {
        const std::size_t length = utf8_char_length(input.data() + i, size - i);
        if (length == 0) {
            expected.push_back('?');
            ++i;
        } else {
            expected.append(input, i, length);
            i += length;
        }
    }
    // six bytes are the most one byte of input can take
    std::string out(6 * size + 3, '\0');
    TextCursor cursor = TextCursor::fresh(TextBuffer{out.data(), out.size()}, TextCursor::Fit::whole);
    json_add_string(&cursor, input.data(), size);
    if (!cursor.fits()) std::abort();
    out.resize(cursor.finish());
    if (decode(out) != expected) std::abort();
    return 0;
}
