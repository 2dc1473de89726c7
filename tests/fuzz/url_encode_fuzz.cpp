// url_encode over arbitrary bytes and capacities: the output holds only
// unreserved characters, "+" and "%XX" escapes, never more than capacity - 2
// characters, and decodes back to a prefix of the input, whole when the
// input's encoding fits in capacity - 4 characters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "text/text_cursor.h"

namespace {
int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // upper-case digits only
}
bool unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t capacity = 5 + (static_cast<std::size_t>(data[0]) << 4 | data[1]) % 2100;
    const std::string source(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string text = source.c_str();  // a C text ends at its first NUL

    std::vector<char> out(capacity, '\x7f');
    url_encode(text.c_str(), TextBuffer{out.data(), capacity});
    const std::size_t length = strnlen(out.data(), capacity);
    if (length == capacity || length > capacity - 2) std::abort();

    std::string decoded;
    std::size_t full_length = 0;
    for (unsigned char c : text) full_length += unreserved(c) || c == ' ' ? 1 : 3;
    for (std::size_t i = 0; i < length; ++i) {
        const char c = out[i];
        if (c == '%') {
            if (i + 2 >= length) std::abort();  // an escape is never cut
            const int high = hex(out[i + 1]), low = hex(out[i + 2]);
            if (high < 0 || low < 0) std::abort();
            const unsigned char byte = static_cast<unsigned char>(high * 16 + low);
            if (unreserved(byte) || byte == ' ') std::abort();  // those are never escaped
            decoded.push_back(static_cast<char>(byte));
            i += 2;
        } else if (c == '+') {
            decoded.push_back(' ');
        } else if (unreserved(static_cast<unsigned char>(c))) {
            decoded.push_back(c);
        } else {
            std::abort();
        }
    }
    if (text.compare(0, decoded.size(), decoded) != 0) std::abort();
    if (full_length <= capacity - 4 && decoded != text) std::abort();
    return 0;
}
