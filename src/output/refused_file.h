// What the console says of a kept file that was refused.
#pragma once

#include "platform/files.h"

// The words after the file name ("is not a regular file: not used"); null
// for a failure that is no refusal (a missing file, a permission).
const char* refused_file_reason(plat::FileRefusal why);

// Says "<name> <reason>" on the console the first time a refusal comes
// (`*said` remembers it): always, or only as a note (not in silent mode).
enum class RefusalLine { always, note };
void say_refused_file(const char* name, plat::FileRefusal why, RefusalLine line, bool* said);

// Says on standard error, also in silent mode (a service's journal and a
// task's history show it), that `name` cannot be written: "Cannot write
// <name>: <owner, account and fix>".
void say_unwritable_file(const char* name);
