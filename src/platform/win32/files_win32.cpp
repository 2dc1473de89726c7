// Files and the computer name on Windows.
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "platform/platform.h"

namespace plat {

bool delete_file(const char* path) { return path != nullptr && DeleteFileA(path) != 0; }

bool flush_to_disk(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0) return false;
    return _commit(_fileno(file)) == 0;
}

bool replace_file(const char* source, const char* target) {
    if (source == nullptr || target == nullptr) return false;
    // ReplaceFileA keeps the old file's security descriptor and attributes
    if (ReplaceFileA(target, source, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        return true;
    }
    // no old file to replace (or a file system without ReplaceFile): one
    // rename that overwrites, flushed before it returns
    return MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool computer_name(TextBuffer out) {
    text_copy(out, "");
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &size) || name[0] == L'\0') return false;
    // UTF-8, like every other text of the program
    text_copy_utf16(out, reinterpret_cast<const char16_t*>(name), size);
    return true;
}

}  // namespace plat
