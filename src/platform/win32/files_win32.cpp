// Files and the computer name on Windows.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/replace_steps.h"
#include "platform/transient_registry.h"
#include "platform/win32/wide_path.h"

namespace plat {

bool delete_file(const char* path) {
    const WidePath wide(path);
    return wide.ok && DeleteFileW(wide.text) != 0;
}

bool flush_to_disk(std::FILE* file) {
    if (file == nullptr || std::fflush(file) != 0) return false;
    return _commit(_fileno(file)) == 0;
}

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

std::FILE* open_kept_file(const char* path, KeptFileMode mode, FileRefusal* why) {
    FileRefusal ignored = FileRefusal::none;
    if (why == nullptr) why = &ignored;
    *why = FileRefusal::failed;
    wchar_t wide[kTransientPathCap];
    if (path == nullptr || path[0] == '\0' || !utf8_to_wide(path, wide, kTransientPathCap)) return nullptr;
    const DWORD attributes = GetFileAttributesW(wide);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        *why = FileRefusal::not_regular;
        return nullptr;
    }
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    int flags = _O_RDONLY | _O_BINARY;
    const char* stdio_mode = "rb";
    if (mode == KeptFileMode::append) {
        access = FILE_APPEND_DATA;
        disposition = OPEN_ALWAYS;
        flags = _O_WRONLY | _O_APPEND | _O_TEXT;
        stdio_mode = "a";
    } else if (mode == KeptFileMode::rewrite) {
        access = GENERIC_WRITE;
        disposition = OPEN_ALWAYS;
        flags = _O_WRONLY | _O_TEXT;
        stdio_mode = "w";
    }
    HANDLE handle = CreateFileW(wide, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) *why = FileRefusal::missing;
        return nullptr;
    }
    // a device or a pipe behind the name is not a file to keep
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        *why = FileRefusal::not_regular;
        return nullptr;
    }
    if (mode == KeptFileMode::rewrite && !SetEndOfFile(handle)) {
        CloseHandle(handle);
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), flags);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, stdio_mode);
    if (file == nullptr) {
        _close(fd);
        return nullptr;
    }
    *why = FileRefusal::none;
    return file;
}

bool kept_file_target(const char* path, TextBuffer out) {
    text_copy(out, "");
    wchar_t wide[kTransientPathCap];
    if (path == nullptr || path[0] == '\0' || !utf8_to_wide(path, wide, kTransientPathCap)) return false;
    const DWORD attributes = GetFileAttributesW(wide);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        text_copy(out, path);
        return true;
    }
    // a symbolic link (which only an administrator, or a developer-mode
    // account, may make): its final target, "\\?\" dropped
    HANDLE handle = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    wchar_t final_path[kTransientPathCap];
    const DWORD length = GetFinalPathNameByHandleW(handle, final_path, kTransientPathCap, FILE_NAME_NORMALIZED);
    CloseHandle(handle);
    if (length == 0 || length >= kTransientPathCap) return false;
    const wchar_t* start = final_path;
    if (length > 4 && final_path[0] == L'\\' && final_path[1] == L'\\' && final_path[2] == L'?' &&
        final_path[3] == L'\\') {
        start += 4;
    }
    char utf8[kTransientPathCap * 3];
    if (WideCharToMultiByte(CP_UTF8, 0, start, -1, utf8, static_cast<int>(sizeof utf8), nullptr, nullptr) <= 0) {
        return false;
    }
    text_copy(out, utf8);
    return true;
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
    const WidePath from(source);
    const WidePath to(target);
    return from.ok && to.ok && MoveFileExW(from.text, to.text, MOVEFILE_REPLACE_EXISTING) != 0;
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
