// Files that loadhawk keeps, on Windows: regular files only, opened through
// the wide-character calls.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/backend.h"
#include "platform/files.h"
#include "platform/transient_files.h"
#include "platform/win32/convert.h"
#include "platform/win32/win_handle.h"

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

// A C library stream over `file`, which it then owns; null (and the handle
// closed) when it cannot be made.
std::FILE* stream_of(WinHandle* file, int flags, const char* stdio_mode) {
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(file->h), flags);
    if (fd < 0) return nullptr;
    file->h = nullptr;  // the descriptor owns it now
    std::FILE* stream = _fdopen(fd, stdio_mode);
    if (stream == nullptr) _close(fd);
    return stream;
}

}  // namespace

std::FILE* open_kept_file(const char* path, KeptFileMode mode, FileRefusal* why) {
    FileRefusal ignored = FileRefusal::none;
    if (why == nullptr) why = &ignored;
    *why = FileRefusal::failed;
    if (path == nullptr || path[0] == '\0') return nullptr;
    const WidePath wide(path);
    if (!wide.ok) return nullptr;
    const DWORD attributes = GetFileAttributesW(wide.text);
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
    WinHandle file(CreateFileW(wide.text, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) *why = FileRefusal::missing;
        return nullptr;
    }
    // a device or a pipe behind the name is not a file to keep
    if (GetFileType(file.h) != FILE_TYPE_DISK) {
        *why = FileRefusal::not_regular;
        return nullptr;
    }
    if (mode == KeptFileMode::rewrite && !SetEndOfFile(file.h)) return nullptr;
    std::FILE* stream = stream_of(&file, flags, stdio_mode);
    if (stream != nullptr) *why = FileRefusal::none;
    return stream;
}

bool kept_file_target(const char* path, TextBuffer out) {
    text_copy(out, "");
    if (path == nullptr || path[0] == '\0') return false;
    const WidePath wide(path);
    if (!wide.ok) return false;
    const DWORD attributes = GetFileAttributesW(wide.text);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        text_copy(out, path);
        return true;
    }
    // a symbolic link (which only an administrator, or a developer-mode
    // account, may make): its final target, as a plain path
    wchar_t final_path[kTransientPathCap];
    DWORD length = 0;
    {
        const WinHandle link(CreateFileW(wide.text, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (link.h == INVALID_HANDLE_VALUE) return false;
        length = GetFinalPathNameByHandleW(link.h, final_path, kTransientPathCap, FILE_NAME_NORMALIZED);
    }
    if (length == 0 || length >= kTransientPathCap) return false;
    FixedText<kTransientPathCap> final_text;
    if (!wide_to_utf8(final_path, final_text.out())) return false;
    plain_final_path(final_text.c_str(), out);
    return true;
}

}  // namespace plat
