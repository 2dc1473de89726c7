// Whether a kept file could be written, on Windows: the file, or for a
// missing one its folder, opened for the right to write with nothing made
// or changed.
#include <windows.h>

#include <cwchar>

#include "platform/files.h"
#include "platform/win32/convert.h"
#include "platform/win32/win_handle.h"

namespace plat {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The folder a missing file would be made in: the path up to its last
// separator, or the working directory.
void folder_of(const wchar_t* path, wchar_t* out, std::size_t cap) {
    const wchar_t* last = nullptr;
    for (const wchar_t* p = path; *p != L'\0'; ++p) {
        if (*p == L'\\' || *p == L'/') last = p;
    }
    if (last == nullptr) {
        std::wcscpy(out, L".");
        return;
    }
    std::size_t n = static_cast<std::size_t>(last - path) + 1;
    if (n >= cap) n = cap - 1;
    std::wmemcpy(out, path, n);
    out[n] = L'\0';
}

// Another program holding the file open refuses the open, not the right.
bool in_use(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

}  // namespace

FileRefusal kept_file_write_refusal(const char* path) {
    const WidePath wide(path);
    if (!wide.ok || wide.text[0] == L'\0') return FileRefusal::failed;
    const DWORD attributes = GetFileAttributesW(wide.text);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        wchar_t folder[kTransientPathCap] = {};
        folder_of(wide.text, folder, kTransientPathCap);
        // a folder handle with the right to add a file: made only to ask
        WinHandle dir(CreateFileW(folder, FILE_ADD_FILE, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        return dir.h != INVALID_HANDLE_VALUE ? FileRefusal::none : FileRefusal::failed;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileRefusal::not_regular;
    WinHandle file(CreateFileW(wide.text, FILE_APPEND_DATA, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.h != INVALID_HANDLE_VALUE) return FileRefusal::none;
    return in_use(GetLastError()) ? FileRefusal::none : FileRefusal::failed;
}

}  // namespace plat
