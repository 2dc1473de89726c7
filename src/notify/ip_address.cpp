#include "notify/ip_address.h"

#include <cstring>

#include "text/ascii.h"

namespace {

// One number of an IPv4 host as curl reads it (strtoul with base 0): "0x"
// and hex digits, "0" and octal digits, or decimal digits.
bool ipv4_number(const char* text, std::size_t length, std::uint64_t* value) {
    *value = 0;
    if (length == 0 || !ascii_digit(text[0])) return false;
    std::uint64_t base = 10;
    std::size_t i = 0;
    if (text[0] == '0' && length > 1 && ascii_lower(text[1]) == 'x') {
        base = 16;
        i = 2;
        if (i == length) return false;  // "0x" alone stops before the x
    } else if (text[0] == '0') {
        base = 8;
    }
    for (; i < length; ++i) {
        const int digit = hex_digit(text[i]);
        if (digit < 0 || static_cast<std::uint64_t>(digit) >= base) return false;
        *value = *value * base + static_cast<std::uint64_t>(digit);
        if (*value > 0xFFFFFFFFu) return false;
    }
    return true;
}

}  // namespace

bool parse_curl_ipv4(const char* text, std::size_t length, std::uint32_t* address) {
    std::uint64_t parts[4] = {};
    std::size_t count = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != '.') continue;
        if (count == 4 || !ipv4_number(text + start, i - start, &parts[count])) return false;
        ++count;
        start = i + 1;
    }
    // every number but the last is one byte; the last fills the rest
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (parts[i] > 0xFF) return false;
    }
    const unsigned rest_bits = 8 * static_cast<unsigned>(5 - count);
    if (rest_bits < 32 && parts[count - 1] >> rest_bits != 0) return false;
    std::uint64_t value = parts[count - 1];
    for (std::size_t i = 0; i + 1 < count; ++i) value |= parts[i] << (24 - 8 * i);
    *address = static_cast<std::uint32_t>(value);
    return true;
}

namespace {

// A strict dotted IPv4 address inside an IPv6 one: four decimal numbers
// of at most 255, no leading zero.
bool parse_dotted_quad(const char* text, std::size_t length, std::uint8_t* out) {
    std::size_t count = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != '.') {
            if (!ascii_digit(text[i])) return false;
            continue;
        }
        const std::size_t size = i - start;
        if (count == 4 || size == 0 || size > 3 || (size > 1 && text[start] == '0')) return false;
        unsigned value = 0;
        for (std::size_t k = start; k < i; ++k) value = value * 10 + static_cast<unsigned>(text[k] - '0');
        if (value > 255) return false;
        out[count++] = static_cast<std::uint8_t>(value);
        start = i + 1;
    }
    return count == 4;
}

}  // namespace

bool parse_ipv6(const char* text, std::size_t length, std::uint8_t* bytes) {
    std::memset(bytes, 0, 16);
    std::uint8_t head[16] = {};
    std::size_t filled = 0;
    std::size_t gap = 16;  // where "::" stands; 16: none
    std::size_t i = 0;
    if (length >= 2 && text[0] == ':' && text[1] == ':') {
        gap = 0;
        i = 2;
    }
    while (i < length) {
        std::size_t end = i;
        while (end < length && text[end] != ':') ++end;
        if (std::memchr(text + i, '.', end - i) != nullptr) {
            if (end != length || filled > 12 || !parse_dotted_quad(text + i, end - i, head + filled)) return false;
            filled += 4;
            break;
        }
        if (end == i || end - i > 4 || filled == 16) return false;
        unsigned group = 0;
        for (std::size_t k = i; k < end; ++k) {
            const int digit = hex_digit(text[k]);
            if (digit < 0) return false;
            group = group * 16 + static_cast<unsigned>(digit);
        }
        head[filled++] = static_cast<std::uint8_t>(group >> 8);
        head[filled++] = static_cast<std::uint8_t>(group & 0xFF);
        if (end == length) break;
        i = end + 1;
        if (i < length && text[i] == ':') {
            if (gap != 16) return false;
            gap = filled;
            ++i;
        } else if (i == length) {
            return false;  // a single colon at the end
        }
    }
    if (gap == 16) {
        if (filled != 16) return false;
        std::memcpy(bytes, head, 16);
        return true;
    }
    if (filled > 14) return false;
    std::memcpy(bytes, head, gap);
    std::memcpy(bytes + 16 - (filled - gap), head + gap, filled - gap);
    return true;
}

