// Reading settings files line by line in pieces of a fixed size.
#pragma once

#include <cstdio>

#include "text/fixed_text.h"

// Reads the next line, or the next piece of a line longer than out.cap - 1
// characters, like fgets: the piece keeps its line feed. A carriage return
// directly before a line feed is dropped, so files with CRLF line ends read
// the same on every platform. Returns the number of bytes stored (a NUL byte
// read from the file counts, though it ends the piece as text); 0 at the end
// of the file.
std::size_t read_config_line(std::FILE* file, TextBuffer out);
