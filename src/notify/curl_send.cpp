#include "notify/curl_send.h"

#include "notify/send_outcome.h"
#include "notify/shell_command.h"
#include "output/console.h"
#include "output/event_log.h"
#include "platform/files.h"
#include "platform/transient_files.h"

namespace {

// The in-process half of the send lock; created before main runs.
plat::Lock g_send_lock;

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

SendLock::SendLock(std::uint32_t wait_seconds) : inside_(g_send_lock), file_{-1} {
    result_ = plat::file_lock_acquire(kSendLockFile, to_milliseconds(wait_seconds), &file_);
}

SendLock::~SendLock() { plat::file_lock_release(&file_); }

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
    const CurlOption line{option, value};
    return write_curl_config_lines(path, &line, 1);
}

bool write_curl_config_lines(const char* path, const CurlOption* options, std::size_t count) {
    std::FILE* file = plat::create_transient_file(path);
    for (std::size_t i = 0; file != nullptr && i < count; ++i) {
        std::fprintf(file, "%s = ", options[i].option);
        put_config_value(file, options[i].value);
        std::fputc('\n', file);
    }
    return finish_transient_file(file, path);
}

void remove_leftover_send_files(std::uint32_t lock_wait_ms) {
    plat::LockGuard inside(g_send_lock);
    plat::FileLock lock{-1};
    if (plat::file_lock_acquire(kSendLockFile, lock_wait_ms, &lock) != plat::FileLockResult::held) return;
    (void)plat::delete_file(kMailMessageFile);
    (void)plat::delete_file(kWebhookBodyFile);
    (void)plat::delete_file(kCurlConfigFile);
    plat::file_lock_release(&lock);
}

void report_not_sent(const char* channel, const char* key, const char* reason) {
    console_note("%s not sent: %s %s\n", channel, key, reason);
    log_event("%s not sent: %s %s\n", channel, key, reason);
}

namespace {

// Why a send under the lock did not run: the key and reason of the "not
// sent" line; a null key when it ran (its exit code in *rc).
struct NotRun {
    const char* key;
    const char* reason;
};

NotRun run_under_lock(const CurlRequest& r, int* rc) {
    SendLock hold(r.timeout_seconds + kSendLockGraceSeconds);
    if (!hold.usable()) return {"mail lock", kSendLockBusy};
    const SendFile& extra = r.file;
    // a file that is not whole on the disk is never sent
    if (extra.path != nullptr && !extra.write(extra.path, extra.context)) {
        return {extra.what, kNotWrittenCompletely};
    }
    constexpr std::size_t kMaxConfigLines = 8;
    CurlOption lines[kMaxConfigLines] = {{r.config_option, r.config_value}};
    std::size_t count = 1;
    for (std::size_t i = 0; i < r.more_config_count && count < kMaxConfigLines; ++i) {
        lines[count++] = r.more_config[i];
    }
    if (!write_curl_config_lines(kCurlConfigFile, lines, count)) {
        if (extra.path != nullptr) plat::remove_transient_file(extra.path);
        return {"curl configuration file", kNotWrittenCompletely};
    }
    *rc = run_shell_command(r.command, r.timeout_seconds);
    console_note("%s command rc=%d\n", r.channel, *rc);
    plat::remove_transient_file(kCurlConfigFile);
    if (extra.path != nullptr) plat::remove_transient_file(extra.path);
    return {nullptr, nullptr};
}

}  // namespace

bool send_with_curl(const CurlRequest& request) {
    int rc = 0;
    const NotRun not_run = run_under_lock(request, &rc);
    // the outcome is logged after the send lock is given back
    if (not_run.key != nullptr) {
        report_not_sent(request.channel, not_run.key, not_run.reason);
        return false;
    }
    if (rc == 0) {
        log_event("%s sent to %s\n", request.channel, request.sent_to);
    } else {
        report_send_failure(request.channel, rc, request.http_peer);
    }
    return rc == 0;
}
