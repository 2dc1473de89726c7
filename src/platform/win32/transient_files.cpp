// Transient files on Windows: created new (never through a link) with the
// folder's inherited ACL, and recorded.
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

namespace {

// A new file at `path`, recorded, in *out; false when it cannot be made.
bool create_transient_handle(const char* path, WinHandle* out) {
    if (path == nullptr || path[0] == '\0') return false;
    const WidePath wide(path);
    if (!wide.ok) return false;
    // a leftover or a planted link at the name goes (DeleteFileW removes a
    // link, not its target); CREATE_NEW then never opens what stands there
    (void)DeleteFileW(wide.text);
    WinHandle file(CreateFileW(wide.text, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (file.h == INVALID_HANDLE_VALUE) return false;
    if (!transient_record(path)) {
        file.close();
        (void)DeleteFileW(wide.text);
        return false;
    }
    out->h = file.h;
    file.h = nullptr;
    return true;
}

}  // namespace

std::FILE* create_transient_file(const char* path) {
    WinHandle file;
    if (!create_transient_handle(path, &file)) return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(file.h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        file.close();
        remove_transient_file(path);
        return nullptr;
    }
    file.h = nullptr;  // the descriptor owns it now
    std::FILE* stream = _fdopen(fd, "wb");
    if (stream == nullptr) {
        _close(fd);
        remove_transient_file(path);
    }
    return stream;
}

bool write_transient_file(const char* path, const char* data, std::size_t size, FileAccess) {
    WinHandle file;
    if (!create_transient_handle(path, &file)) return false;
    bool ok = data != nullptr;
    while (ok && size > 0) {
        const DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        ok = WriteFile(file.h, data, chunk, &written, nullptr) != 0 && written > 0;
        data += written;
        size -= written;
    }
    // a failed close may mean data that never reached the file
    if (!CloseHandle(file.h)) ok = false;
    file.h = nullptr;
    if (!ok) remove_transient_file(path);
    return ok;
}

}  // namespace plat
