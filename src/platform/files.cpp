// Names beside a file, final paths, and the replace fallback both systems share.
#include "platform/files.h"

#include <cstring>

#include "platform/backend.h"
#include "platform/command.h"
#include "platform/locks.h"
#include "platform/replace_steps.h"
#include "platform/transient_files.h"

namespace plat {

void path_beside(const char* file, const char* name, TextBuffer out) {
    text_copy(out, "");
    if (file == nullptr || name == nullptr) return;
    // Windows takes both separators; a POSIX name may hold a backslash
    const bool backslash = interpreter() == Interpreter::cmd;
    const char* last = nullptr;
    for (const char* p = file; *p != '\0'; ++p) {
        if (*p == '/' || (backslash && *p == '\\')) last = p;
    }
    if (last == nullptr) {
        text_copy(out, name);
        return;
    }
    text_copy_n(out, file, static_cast<std::size_t>(last - file) + 1);
    text_append(out, "%s", name);
}

void plain_final_path(const char* final_path, TextBuffer out) {
    static constexpr char kShare[] = "\\\\?\\UNC\\";
    static constexpr char kLocal[] = "\\\\?\\";
    if (final_path == nullptr) {
        text_copy(out, "");
    } else if (std::strncmp(final_path, kShare, sizeof kShare - 1) == 0) {
        text_copy(out, "\\\\");
        text_append(out, "%s", final_path + sizeof kShare - 1);
    } else if (std::strncmp(final_path, kLocal, sizeof kLocal - 1) == 0) {
        text_copy(out, final_path + sizeof kLocal - 1);
    } else {
        text_copy(out, final_path);
    }
}

namespace {

// Another program (a virus scanner, a backup agent) may hold the file for a
// moment: a rename that must succeed is tried this often, a pause between.
constexpr int kMoveTries = 5;
constexpr std::uint32_t kMovePauseMs = 100;

// A file's security descriptor is read into this much room first, and into
// the room the system asks for (up to the largest an ACL allows) after.
constexpr std::uint32_t kDescriptorFirstTry = 4096;
constexpr std::uint32_t kDescriptorCap = 65536;

// Gives `to` the security descriptor of `from`; false when it cannot be read
// or written.
bool copy_security(const ReplaceSteps& steps, const char* from, const char* to) {
    alignas(8) unsigned char first[kDescriptorFirstTry];
    std::uint32_t needed = 0;
    if (steps.read_security(from, first, sizeof first, &needed)) return steps.write_security(to, first);
    if (needed <= sizeof first || needed > kDescriptorCap) return false;
    // one large copy at a time
    static Lock guard;
    alignas(8) static unsigned char large[kDescriptorCap];
    LockGuard inside(guard);
    return steps.read_security(from, large, needed, &needed) && steps.write_security(to, large);
}

// Removes the old file left at `backup` (it may hold what the new file no
// longer holds in plain text); false when it is still there.
bool drop_backup(const ReplaceSteps& steps, const char* backup) {
    for (int attempt = 0; attempt < kMoveTries && steps.exists(backup); ++attempt) {
        if (attempt > 0) steps.pause(kMovePauseMs);
        (void)steps.remove(backup);
    }
    return !steps.exists(backup);
}

}  // namespace

bool move_with_retries(const ReplaceSteps& steps, const char* source, const char* target, bool overwrite) {
    for (int attempt = 0; attempt < kMoveTries; ++attempt) {
        if (attempt > 0) steps.pause(kMovePauseMs);
        if (steps.move(source, target, overwrite)) return true;
    }
    return false;
}

void replace_backup_path(const char* target, TextBuffer out) {
    text_copy(out, target == nullptr ? "" : target);
    text_append(out, ".rewrite-backup");
}

ReplaceResult replace_with_steps(const ReplaceSteps& steps, const char* source, const char* target) {
    if (source == nullptr || target == nullptr) return ReplaceResult::kept;
    FixedText<kTransientPathCap> backup;
    replace_backup_path(target, backup.out());
    // a backup of an earlier, interrupted replace is no file to keep
    if (!drop_backup(steps, backup.c_str())) return ReplaceResult::kept;
    ReplaceResult result = ReplaceResult::kept;
    if (steps.replace(source, target, backup.c_str())) {
        result = ReplaceResult::replaced;
    } else if (steps.exists(target)) {
        // the old file is whole at its name; without its security
        // descriptor the copy does not take its place
        if (copy_security(steps, target, source) && move_with_retries(steps, source, target, true)) {
            result = ReplaceResult::replaced;
        }
    } else if (move_with_retries(steps, source, target, false)) {
        // the old file left its name (for the backup name): the copy, the
        // only complete new one, takes its place
        result = ReplaceResult::replaced;
    } else if (steps.exists(backup.c_str()) && move_with_retries(steps, backup.c_str(), target, false)) {
        result = ReplaceResult::kept;
    } else {
        result = ReplaceResult::source_kept;
    }
    (void)drop_backup(steps, backup.c_str());
    return result;
}

}  // namespace plat
