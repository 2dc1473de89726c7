#include "notify/send_files.h"

#include "notify/email.h"
#include "platform/files.h"
#include "platform/transient_files.h"

namespace {

// The in-process half of the mail lock; created before main runs.
plat::Lock g_mail_lock;

std::uint32_t to_milliseconds(std::uint32_t seconds) {
    const std::uint64_t ms = std::uint64_t{seconds} * 1000u;
    return ms > 0xFFFFFFF0u ? 0xFFFFFFF0u : static_cast<std::uint32_t>(ms);
}

void put_config_value(std::FILE* file, const char* value) {
    std::fputc('"', file);
    for (const char* p = value != nullptr ? value : ""; *p != '\0'; ++p) {
        const char c = *p;
        const char* escape = c == '\\'   ? "\\\\"
                             : c == '"'  ? "\\\""
                             : c == '\t' ? "\\t"
                             : c == '\n' ? "\\n"
                             : c == '\r' ? "\\r"
                             : c == '\v' ? "\\v"
                                         : nullptr;
        if (escape != nullptr) {
            std::fputs(escape, file);
        } else {
            std::fputc(static_cast<unsigned char>(c), file);
        }
    }
    std::fputc('"', file);
}

}  // namespace

MailLockHold::MailLockHold(std::uint32_t wait_seconds) : inside_(g_mail_lock), file_{-1} {
    result_ = plat::file_lock_acquire(kMailLockFile, to_milliseconds(wait_seconds), &file_);
}

MailLockHold::~MailLockHold() { plat::file_lock_release(&file_); }

bool finish_transient_file(std::FILE* file, const char* path) {
    if (file == nullptr) return false;
    const bool written = std::ferror(file) == 0;
    // the close writes what is still buffered: a full disk shows here
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    plat::remove_transient_file(path);
    return false;
}

bool write_curl_config(const char* path, const char* option, const char* value) {
    std::FILE* file = plat::create_transient_file(path);
    if (file != nullptr) {
        std::fprintf(file, "%s = ", option);
        put_config_value(file, value);
        std::fputc('\n', file);
    }
    return finish_transient_file(file, path);
}

void remove_leftover_send_files(std::uint32_t lock_wait_ms) {
    plat::LockGuard inside(g_mail_lock);
    plat::FileLock lock{-1};
    if (plat::file_lock_acquire(kMailLockFile, lock_wait_ms, &lock) != plat::FileLockResult::held) return;
    (void)plat::delete_file(kMailMessageFile);
    (void)plat::delete_file(kCurlConfigFile);
    plat::file_lock_release(&lock);
}
