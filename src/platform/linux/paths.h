// Path names on Linux, shared by the file code.
#pragma once

#include "text/fixed_text.h"

namespace plat {

// The folder `path` names an entry of: what stands before its last '/',
// "/" for an entry of the root, "." for a bare name. False when it does not
// fit `out` (which then holds a cut copy).
bool folder_of(const char* path, TextBuffer out);

}  // namespace plat
