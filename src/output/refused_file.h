// What the console says of a kept file that was refused.
#pragma once

#include "platform/platform.h"

// The words after the file name ("is not a regular file: not used"); null
// for a failure that is no refusal (a missing file, a permission).
const char* refused_file_reason(plat::FileRefusal why);
