// Opening a kept file's descriptor on Linux, shared by the file and lock code.
#pragma once

#include "platform/files.h"

namespace plat {

// open(2) of a kept file with `flags` (O_NONBLOCK, O_CLOEXEC and O_NOCTTY
// are added) and, when it is created, `create_mode`: a link is followed only when root or we own it, and the result
// must be a regular file. The descriptor is left blocking again. -1, with
// the reason in *why, otherwise.
int open_kept_fd(const char* path, int flags, unsigned create_mode, FileRefusal* why);

}  // namespace plat
