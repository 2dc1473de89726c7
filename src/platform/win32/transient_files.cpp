// Transient files on Windows: created new (never through a link) and
// recorded. Those that may hold secrets get an ACL of their own that lets
// only this process's account in, whatever the folder would hand down; the
// others take the folder's inherited ACL.
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

// A security descriptor whose one entry gives this process's account full
// access, protected from the folder's inheritable entries.
struct OwnerOnly {
    alignas(8) unsigned char user[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
    alignas(8) unsigned char acl[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE];
    SECURITY_DESCRIPTOR descriptor;
    SECURITY_ATTRIBUTES attributes;

    bool make() {
        HANDLE raw = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
        WinHandle token(raw);
        DWORD size = 0;
        if (!GetTokenInformation(token.h, TokenUser, user, sizeof user, &size)) return false;
        const PSID sid = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
        auto* list = reinterpret_cast<ACL*>(acl);
        if (!InitializeAcl(list, sizeof acl, ACL_REVISION) || !AddAccessAllowedAce(list, ACL_REVISION, GENERIC_ALL, sid) ||
            !InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
            !SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) ||
            !SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
            return false;
        }
        attributes = SECURITY_ATTRIBUTES{sizeof attributes, &descriptor, FALSE};
        return true;
    }
};

// A new file at `path`, recorded, in *out; false when it cannot be made.
bool create_transient_handle(const char* path, FileAccess access, WinHandle* out) {
    if (path == nullptr || path[0] == '\0') return false;
    const WidePath wide(path);
    if (!wide.ok) return false;
    // a leftover or a planted link at the name goes (DeleteFileW removes a
    // link, not its target); CREATE_NEW then never opens what stands there
    (void)DeleteFileW(wide.text);
    OwnerOnly owner_only;
    if (access == FileAccess::owner_only && !owner_only.make()) return false;
    WinHandle file(CreateFileW(wide.text, GENERIC_WRITE, 0,
                               access == FileAccess::owner_only ? &owner_only.attributes : nullptr, CREATE_NEW,
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
    if (!create_transient_handle(path, FileAccess::owner_only, &file)) return nullptr;
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

bool write_transient_file(const char* path, const char* data, std::size_t size, FileAccess access) {
    WinHandle file;
    if (!create_transient_handle(path, access, &file)) return false;
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
