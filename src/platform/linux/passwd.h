// Account names from /etc/passwd, read directly: the program may be linked
// statically, without the name-service libraries.
#pragma once

#include <sys/types.h>

#include "text/fixed_text.h"

namespace plat {

// The name of `uid`; its number when the file does not name it.
void user_name(uid_t uid, TextBuffer out);

}  // namespace plat
