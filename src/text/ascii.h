// ASCII character tests for the forms the program reads itself (URLs,
// host names, numbers); a byte from 0x80 up is none of them.
#pragma once

inline bool ascii_digit(char c) { return c >= '0' && c <= '9'; }

// The value of a hexadecimal digit, or -1.
inline int hex_digit(char c) {
    if (ascii_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

inline char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `text` begins with `prefix`, which is written in lower case,
// whatever the case of `text`.
inline bool starts_with_ignoring_case(const char* text, const char* prefix) {
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (ascii_lower(*text) != *prefix) return false;
    }
    return true;
}
