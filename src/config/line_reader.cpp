#include "config/line_reader.h"

std::size_t read_config_line(std::FILE* file, TextBuffer out) {
    if (file == nullptr || out.data == nullptr || out.cap < 2) return 0;
    std::size_t n = 0;
    while (n < out.cap - 1) {
        int c = std::getc(file);
        if (c == EOF) break;
        if (c == '\r') {
            const int next = std::getc(file);
            if (next == '\n') {
                c = '\n';
            } else if (next != EOF) {
                std::ungetc(next, file);
            }
        }
        out.data[n++] = static_cast<char>(c);
        if (c == '\n') break;
    }
    out.data[n] = '\0';
    return n;
}
