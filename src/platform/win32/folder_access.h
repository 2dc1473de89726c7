// The settings folder's access list for the service's virtual account.
#pragma once

#include "text/fixed_text.h"

namespace plat {

// Sets the folder's access list: Administrators and SYSTEM full control,
// NT SERVICE\loadhawk modify, nothing inherited from above (files and
// folders below inherit these), and reports the entries it handed over.
// False with the system's error as the last error.
[[nodiscard]] bool restrict_folder(const wchar_t* folder, TextBuffer report);

}  // namespace plat
