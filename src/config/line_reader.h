// Reading settings files line by line in pieces of a fixed size.
#pragma once

#include <cstdio>

#include "config/config_line.h"
#include "text/fixed_text.h"

// Reads the next line, or the next piece of a line longer than out.cap - 1
// characters, like fgets: the piece keeps its line feed. A carriage return
// directly before a line feed is dropped, so files with CRLF line ends read
// the same on every platform. Returns the number of bytes stored (a NUL byte
// read from the file counts, though it ends the piece as text); 0 at the end
// of the file.
std::size_t read_config_line(std::FILE* file, TextBuffer out);

// Hands every key/value item of `file`, read in lines of at most
// kConfigValueCap - 1 characters, to apply(key, value, disabled) in file order;
// blank, comment and malformed lines are skipped.
template <typename Apply>
void for_each_config_item(std::FILE* file, Apply&& apply) {
    FixedText<kConfigValueCap> line;
    ConfigKey key;
    ConfigValue value;
    bool disabled = false;
    while (read_config_line(file, line.out()) > 0) {
        if (parse_config_line(line.c_str(), &key, &value, &disabled)) {
            apply(key.c_str(), value.c_str(), disabled);
        }
    }
}
