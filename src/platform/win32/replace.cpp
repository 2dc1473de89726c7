// Replacing and renaming files on Windows: ReplaceFileW, and the steps
// that keep a complete copy when it fails half-way.
#include <windows.h>

#include "platform/files.h"
#include "platform/replace_steps.h"
#include "platform/win32/convert.h"

namespace plat {

namespace {

bool replace_in_one_step(const char* source, const char* target) {
    const WidePath from(source);
    const WidePath to(target);
    // keeps the old file's security descriptor and attributes
    return from.ok && to.ok &&
           ReplaceFileW(to.text, from.text, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
}

bool path_exists(const char* path) {
    const WidePath wide(path);
    return wide.ok && GetFileAttributesW(wide.text) != INVALID_FILE_ATTRIBUTES;
}

bool move_path(const char* source, const char* target, bool overwrite) {
    const WidePath from(source);
    const WidePath to(target);
    // flushed before it returns
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (overwrite ? MOVEFILE_REPLACE_EXISTING : 0);
    return from.ok && to.ok && MoveFileExW(from.text, to.text, flags) != 0;
}

bool copy_security(const char* from_path, const char* to_path) {
    const WidePath from(from_path);
    const WidePath to(to_path);
    if (!from.ok || !to.ok) return false;
    const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION;
    unsigned char descriptor[4096];
    DWORD needed = 0;
    if (!GetFileSecurityW(from.text, what, descriptor, sizeof descriptor, &needed)) return false;
    return SetFileSecurityW(to.text, what, descriptor) != 0;
}

}  // namespace

ReplaceResult replace_file(const char* source, const char* target) {
    static constexpr ReplaceSteps kSteps{replace_in_one_step, path_exists, move_path, copy_security};
    return replace_with_steps(kSteps, source, target);
}

bool rename_file(const char* source, const char* target) {
    const WidePath from(source);
    const WidePath to(target);
    return from.ok && to.ok && MoveFileExW(from.text, to.text, MOVEFILE_REPLACE_EXISTING) != 0;
}


}  // namespace plat
