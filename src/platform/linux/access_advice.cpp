// Who owns a file loadhawk cannot write, and who loadhawk runs as.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/linux/paths.h"
#include "platform/linux/passwd.h"
#include "platform/transient_files.h"

namespace plat {

void write_access_advice(const char* path, TextBuffer out) {
    FixedText<kTransientPathCap> full;
    if (path[0] == '/') {
        full.assign(path);
    } else {
        char here[kTransientPathCap] = {};
        if (getcwd(here, sizeof here) == nullptr) std::strcpy(here, ".");
        full.format("%s/%s", here, path);
    }
    FixedText<64> account;
    user_name(geteuid(), account.out());
    struct stat info {};
    if (lstat(full.c_str(), &info) == 0) {
        FixedText<64> owner;
        user_name(info.st_uid, owner.out());
        text_format(out, "owner %s, loadhawk runs as %s; fix: chown %s: %s", owner.c_str(), account.c_str(),
                    account.c_str(), full.c_str());
        return;
    }
    // a missing file is made in its folder: the folder is what stops us
    FixedText<kTransientPathCap> folder;
    (void)folder_of(full.c_str(), folder.out());
    FixedText<64> owner;
    if (stat(folder.c_str(), &info) == 0) {
        user_name(info.st_uid, owner.out());
    } else {
        owner.assign("unknown");
    }
    text_format(out, "the folder %s is owned by %s, loadhawk runs as %s; fix: chown %s: %s", folder.c_str(),
                owner.c_str(), account.c_str(), account.c_str(), folder.c_str());
}

}  // namespace plat
