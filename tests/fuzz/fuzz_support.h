// Shared by the fuzz targets: each runs in a private temporary directory,
// since the loaders read and write their files in the working directory.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "support/whole_file.h"

// Removes the private directory and what the program writes into it.
inline void leave_private_directory() {
    static const char* const kFiles[] = {"loadhawk_setup.txt", "loadhawk_email.txt", "cpufiletemp.txt",
                                         "loadhawk_log.txt", "cpumailtext.txt"};
    for (const char* f : kFiles) unlink(f);
    char here[4096];
    if (getcwd(here, sizeof here) != nullptr && chdir("/") == 0) rmdir(here);
}

inline void enter_private_directory() {
    char pattern[] = "/tmp/loadhawk-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) std::abort();
    std::atexit(leave_private_directory);
}

inline void write_bytes(const char* path, const unsigned char* data, std::size_t size) {
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

// Silences the program's console while a target runs.
inline void quiet_console() {
    std::FILE* devnull = std::fopen("/dev/null", "w");
    if (devnull == nullptr) std::abort();
    extern void console_redirect(std::FILE*, std::FILE*);
    console_redirect(devnull, devnull);
}
