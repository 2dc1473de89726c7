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

namespace {

// A new file at `path`, recorded; INVALID_HANDLE_VALUE when it cannot be made.
HANDLE create_transient_handle(const char* path) {
    wchar_t wide[kTransientPathCap];
    if (path == nullptr || path[0] == '\0' || !utf8_to_wide(path, wide, kTransientPathCap)) {
        return INVALID_HANDLE_VALUE;
    }
    // a leftover or a planted link at the name goes (DeleteFileW removes a
    // link, not its target); CREATE_NEW then never opens what stands there
    (void)DeleteFileW(wide);
    HANDLE handle = CreateFileW(wide, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return handle;
    if (!transient_record(path)) {
        CloseHandle(handle);
        (void)DeleteFileW(wide);
        return INVALID_HANDLE_VALUE;
    }
    return handle;
}

}  // namespace

std::FILE* create_transient_file(const char* path) {
    HANDLE handle = create_transient_handle(path);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        remove_transient_file(path);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr) {
        _close(fd);
        remove_transient_file(path);
    }
    return file;
}

bool write_transient_file(const char* path, const char* data, std::size_t size, FileAccess) {
    HANDLE handle = create_transient_handle(path);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool ok = data != nullptr;
    while (ok && size > 0) {
        const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        ok = WriteFile(handle, data, chunk, &written, nullptr) != 0 && written > 0;
        data += written;
        size -= written;
    }
    if (!CloseHandle(handle)) ok = false;
    if (!ok) remove_transient_file(path);
    return ok;
}

bool rename_file(const char* source, const char* target) {
    wchar_t wide_source[kTransientPathCap];
    wchar_t wide_target[kTransientPathCap];
    return utf8_to_wide(source, wide_source, kTransientPathCap) &&
           utf8_to_wide(target, wide_target, kTransientPathCap) &&
           MoveFileExW(wide_source, wide_target, MOVEFILE_REPLACE_EXISTING) != 0;
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
