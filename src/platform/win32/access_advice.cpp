// The account loadhawk runs as, for a file it cannot write.
#include <windows.h>

#include "platform/files.h"
#include "platform/transient_files.h"
#include "platform/win32/convert.h"

namespace plat {

void write_access_advice(const char* path, TextBuffer out) {
    wchar_t wide_account[256] = {};
    DWORD size = 256;
    FixedText<512> account;
    if (GetUserNameW(wide_account, &size) && size > 0) {
        text_copy_utf16(account.out(), reinterpret_cast<const char16_t*>(wide_account), size - 1);
    } else {
        account.assign("this account");
    }
    const WidePath wide(path);
    wchar_t full[kTransientPathCap] = {};
    FixedText<kTransientPathCap> shown;
    const DWORD length = wide.ok ? GetFullPathNameW(wide.text, kTransientPathCap, full, nullptr) : 0;
    if (length > 0 && length < kTransientPathCap) {
        text_copy_utf16(shown.out(), reinterpret_cast<const char16_t*>(full), length);
    } else {
        shown.assign(path);
    }
    text_format(out, "loadhawk runs as %s; fix: as administrator, give %s write access to %s", account.c_str(),
                account.c_str(), shown.c_str());
}

}  // namespace plat
