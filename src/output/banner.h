// The program's banner and maker line, shared by the usage text, the
// foreground monitor run and the "-check" header.
#pragma once

#include "text/fixed_text.h"

constexpr const char* kMakerAttribution = "the loadhawk authors";

// The banner's middle line for the system `system` and the build `version`:
// on Windows "LOADHAWK Windows Version 1.0 from <maker>", the program's
// long-standing line; elsewhere "LOADHAWK <system> Version <version> from
// <maker>", with the version that "--version" prints.
void banner_line(const char* system, const char* version, TextBuffer out);

// An empty line, the banner line of this build, an empty line.
void print_banner();
