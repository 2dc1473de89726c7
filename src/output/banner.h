// The program's banner and maker line, shared by the usage text, the
// foreground monitor run and the "-check" header.
#pragma once

constexpr const char* kMakerAttribution = "the loadhawk authors";

// An empty line, "LOADHAWK Windows Version 1.0 from <maker>", an empty line.
void print_banner();
