// Writing the scrambled form of a secret back into the settings file.
#include <cstdio>
#include <cstring>

#include "config/config_line.h"
#include "config/line_reader.h"
#include "config/notify_settings.h"
#include "output/console.h"
#include "output/event_log.h"
#include "platform/files.h"
#include "platform/locks.h"
#include "platform/transient_files.h"

namespace {

constexpr std::size_t kRewriteLineCap = 4096;

// Every copy of the program that rewrites a settings file waits this long
// for another one's rewrite (a few file operations) to end.
constexpr std::uint32_t kRewriteLockWaitMs = 10000;

// The lock of the settings directory, held for one rewrite.
class RewriteLock {
public:
    explicit RewriteLock(const char* path) : lock_{-1} {
        held_ = plat::file_lock_acquire(path, kRewriteLockWaitMs, &lock_) == plat::FileLockResult::held;
    }
    ~RewriteLock() { plat::file_lock_release(&lock_); }
    RewriteLock(const RewriteLock&) = delete;
    RewriteLock& operator=(const RewriteLock&) = delete;
    bool held() const { return held_; }

private:
    plat::FileLock lock_;
    bool held_ = false;
};

// Copies `in` to `temp` with the first active line of `key` replaced.
bool copy_with_line_replaced(std::FILE* in, std::FILE* temp, const char* key, const char* scrambled) {
    FixedText<kRewriteLineCap> line;
    ConfigKey line_key;
    ConfigValue line_value;
    bool disabled = false;
    bool replaced = false;
    bool written = true;
    std::size_t length = 0;
    while ((length = read_config_line(in, line.out())) > 0) {
        if (!replaced && parse_config_line(line.c_str(), &line_key, &line_value, &disabled) &&
            !disabled && std::strcmp(line_key.c_str(), key) == 0) {
            written = std::fprintf(temp, "%s : \"%s\"\n", key, scrambled) > 0 && written;
            replaced = true;
        } else {
            // byte for byte, NUL bytes included
            written = std::fwrite(line.c_str(), 1, length, temp) == length && written;
        }
    }
    return std::ferror(in) == 0 && written;
}

}  // namespace

bool rewrite_secret_line(const char* key, const char* plain) {
    if (key == nullptr || plain == nullptr || plain[0] == '\0') return false;
    // a settings file kept elsewhere through a link is rewritten where it
    // lies, and the link stays; the lock and the temporary copy lie beside it
    FixedText<plat::kTransientPathCap> target;
    if (!plat::kept_file_target(kNotifySettingsFile, target.out())) return false;
    FixedText<plat::kTransientPathCap> lock_path;
    FixedText<plat::kTransientPathCap> temp_path;
    plat::path_beside(target.c_str(), kNotifyLockFile, lock_path.out());
    plat::path_beside(target.c_str(), kNotifyTempFile, temp_path.out());

    // one rewrite at a time among all copies working on this file; the file
    // is read under the lock, so no copy writes back what another replaced
    RewriteLock lock(lock_path.c_str());
    if (!lock.held()) return false;
    std::FILE* in = plat::open_kept_file(target.c_str(), plat::KeptFileMode::read, nullptr);
    if (in == nullptr) return false;
    // a new file of its own, owner-only from the first byte; a leftover of a
    // crash is removed, never reused
    std::FILE* temp = plat::create_transient_file(temp_path.c_str());
    if (temp == nullptr) {
        std::fclose(in);
        return false;
    }

    FixedText<kScrambledCap> scrambled;
    scramble_secret(plain, scrambled.out());
    bool complete = copy_with_line_replaced(in, temp, key, scrambled.c_str());
    std::fclose(in);
    complete = plat::flush_to_disk(temp) && complete;
    complete = std::fclose(temp) == 0 && complete;
    if (!complete) {
        plat::remove_transient_file(temp_path.c_str());
        return false;
    }
    // the settings file is replaced in one step, and only by a complete copy
    switch (plat::replace_file(temp_path.c_str(), target.c_str())) {
        case plat::ReplaceResult::replaced:
            plat::release_transient_file(temp_path.c_str());
            return true;
        case plat::ReplaceResult::kept:
            // (on Windows also when the file's ACL could not be carried over)
            plat::remove_transient_file(temp_path.c_str());
            log_event("%s could not be replaced: it stays as it was\n", target.c_str());
            return false;
        case plat::ReplaceResult::source_kept:
            break;
    }
    // the only complete copy of the settings: never deleted
    plat::release_transient_file(temp_path.c_str());
    console_err("%s could not be replaced: its settings are in %s\n", target.c_str(), temp_path.c_str());
    log_event("%s could not be replaced: its settings are in %s\n", target.c_str(), temp_path.c_str());
    return false;
}
