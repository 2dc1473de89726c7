// Whole-file reading, byte for byte, for every test program: the unit
// tests, the fuzz targets and the notification driver. A file that cannot
// be opened reads as empty.
#pragma once

#include <cstdio>
#include <string>

inline std::string read_whole_file(const char* path) {
    std::string text;
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return text;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    std::fclose(file);
    return text;
}
