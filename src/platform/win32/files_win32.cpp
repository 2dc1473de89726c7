// Files and the computer name on Windows.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/transient_registry.h"
#include "platform/win32/wide_path.h"

namespace plat {

bool delete_file(const char* path) {
    wchar_t wide[kTransientPathCap];
    return utf8_to_wide(path, wide, kTransientPathCap) && DeleteFileW(wide) != 0;
}

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

std::FILE* create_transient_file(const char* path) {
    wchar_t wide[kTransientPathCap];
    if (path == nullptr || path[0] == '\0' || !utf8_to_wide(path, wide, kTransientPathCap)) return nullptr;
    // a leftover or a planted link at the name goes (DeleteFileW removes a
    // link, not its target); CREATE_NEW then never opens what stands there
    (void)DeleteFileW(wide);
    HANDLE handle = CreateFileW(wide, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        (void)DeleteFileW(wide);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr || !transient_record(path)) {
        if (file != nullptr) {
            std::fclose(file);
        } else {
            _close(fd);
        }
        (void)DeleteFileW(wide);
        return nullptr;
    }
    return file;
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
