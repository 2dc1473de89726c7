// The settings folder's access list for the service's virtual account.
#include "platform/win32/folder_access.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <wincrypt.h>

#include "platform/win32/convert.h"

namespace plat {

namespace {

// The virtual account's SID, S-1-5-80- and the SHA-1 of the service name
// in capitals (UTF-16) as five numbers: known before the account can be
// looked up by name, and on systems without virtual accounts.
bool service_account_sid(PSID* out) {
    static const wchar_t kUpper[] = L"LOADHAWK";
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return false;
    HCRYPTHASH hash = 0;
    DWORD digest[5]{};
    DWORD size = sizeof digest;
    const bool hashed = CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash) &&
                        CryptHashData(hash, reinterpret_cast<const BYTE*>(kUpper), sizeof kUpper - sizeof(wchar_t), 0) &&
                        CryptGetHashParam(hash, HP_HASHVAL, reinterpret_cast<BYTE*>(digest), &size, 0);
    if (hash != 0) CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);
    if (!hashed) return false;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    return AllocateAndInitializeSid(&nt, 6, SECURITY_SERVICE_ID_BASE_RID, digest[0], digest[1], digest[2], digest[3],
                                    digest[4], 0, 0, out) != 0;
}

// Each entry of `acl` as "SID mask flags", for the report: what the folder
// was given, to be checked also where the system keeps no access lists.
void describe_acl(const ACL* acl, TextBuffer report) {
    text_append(report, "Access list given:");
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* raw = nullptr;
        if (!GetAce(const_cast<ACL*>(acl), i, &raw)) continue;
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
        wchar_t* sid = nullptr;
        if (!ConvertSidToStringSidW(const_cast<DWORD*>(&ace->SidStart), &sid)) continue;
        FixedText<SECURITY_MAX_SID_SIZE * 4> text;
        (void)wide_to_utf8(sid, text.out());
        LocalFree(sid);
        text_append(report, " %s 0x%08lx 0x%x;", text.c_str(), static_cast<unsigned long>(ace->Mask),
                    static_cast<unsigned>(ace->Header.AceFlags));
    }
    text_append(report, "\n");
}

}  // namespace

bool restrict_folder(const wchar_t* folder, TextBuffer report) {
    EXPLICIT_ACCESSW entries[3]{};
    BYTE admins[SECURITY_MAX_SID_SIZE];
    BYTE system[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof admins;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size)) return false;
    size = sizeof system;
    if (!CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &size)) return false;
    const DWORD modify = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
    for (EXPLICIT_ACCESSW& entry : entries) {
        entry.grfAccessMode = SET_ACCESS;
        entry.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
        entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    }
    entries[0].grfAccessPermissions = GENERIC_ALL;
    entries[0].Trustee.ptstrName = reinterpret_cast<LPWSTR>(admins);
    entries[1].grfAccessPermissions = GENERIC_ALL;
    entries[1].Trustee.ptstrName = reinterpret_cast<LPWSTR>(system);
    PSID account = nullptr;
    if (!service_account_sid(&account)) return false;
    entries[2].grfAccessPermissions = modify;
    entries[2].Trustee.ptstrName = reinterpret_cast<LPWSTR>(account);
    PACL acl = nullptr;
    DWORD status = SetEntriesInAclW(3, entries, nullptr, &acl);
    FreeSid(account);
    if (status == ERROR_SUCCESS) {
        status = SetNamedSecurityInfoW(const_cast<LPWSTR>(folder), SE_FILE_OBJECT,
                                       DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, acl, nullptr);
        describe_acl(acl, report);
        LocalFree(acl);
    }
    SetLastError(status);
    return status == ERROR_SUCCESS;
}


}  // namespace plat
