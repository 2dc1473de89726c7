// Replacing and renaming files on Windows: ReplaceFileW, and the steps
// that keep a complete copy when it fails half-way.
#include <windows.h>

#include "platform/files.h"
#include "platform/replace_steps.h"
#include "platform/win32/convert.h"

namespace plat {

namespace {

bool replace_in_one_step(const char* source, const char* target, const char* backup) {
    const WidePath from(source);
    const WidePath to(target);
    const WidePath old(backup);
    // keeps the old file's security descriptor and attributes, or fails:
    // no REPLACEFILE_IGNORE_MERGE_ERRORS, which would drop the ACL quietly
    return from.ok && to.ok && old.ok && ReplaceFileW(to.text, from.text, old.text, 0, nullptr, nullptr) != 0;
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

// a rename that does not wait for the disk
bool rename_over(const char* source, const char* target, bool) {
    const WidePath from(source);
    const WidePath to(target);
    return from.ok && to.ok && MoveFileExW(from.text, to.text, MOVEFILE_REPLACE_EXISTING) != 0;
}

bool remove_path(const char* path) {
    const WidePath wide(path);
    return wide.ok && DeleteFileW(wide.text) != 0;
}

constexpr SECURITY_INFORMATION kKeptSecurity = DACL_SECURITY_INFORMATION;

bool read_security(const char* path, void* buffer, std::uint32_t size, std::uint32_t* needed) {
    *needed = 0;
    const WidePath wide(path);
    if (!wide.ok) return false;
    DWORD length = 0;
    if (GetFileSecurityW(wide.text, kKeptSecurity, buffer, size, &length)) return true;
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) *needed = length;
    return false;
}

bool write_security(const char* path, const void* descriptor) {
    const WidePath wide(path);
    return wide.ok &&
           SetFileSecurityW(wide.text, kKeptSecurity, const_cast<PSECURITY_DESCRIPTOR>(descriptor)) != 0;
}

void pause_ms(std::uint32_t ms) { Sleep(ms); }

constexpr ReplaceSteps kSteps{replace_in_one_step, path_exists, move_path, remove_path,
                              read_security,       write_security, pause_ms};

}  // namespace

ReplaceResult replace_file(const char* source, const char* target) {
    return replace_with_steps(kSteps, source, target);
}

bool rename_file(const char* source, const char* target) {
    // the system's metrics exporter reads the file without delete sharing:
    // a rename that meets a read in progress is tried again shortly
    const ReplaceSteps steps{nullptr, nullptr, rename_over, nullptr, nullptr, nullptr, pause_ms};
    return move_with_retries(steps, source, target, true);
}

}  // namespace plat
