#include "output/banner.h"

#include <cstring>

#include "output/console.h"
#include "platform/system.h"

#ifndef LOADHAWK_VERSION
#error "LOADHAWK_VERSION is not defined"
#endif

void banner_line(const char* system, const char* version, TextBuffer out) {
    // the Windows line is the one scripts and users have always seen
    if (std::strcmp(system, "Windows") == 0) version = "1.0";
    text_format(out, "LOADHAWK %s Version %s from %s", system, version, kMakerAttribution);
}

void print_banner() {
    FixedText<128> line;
    banner_line(plat::system_name(), LOADHAWK_VERSION, line.out());
    console_out("\n%s\n\n", line.c_str());
}
