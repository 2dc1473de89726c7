#include "notify/email.h"

#include <cstdio>

#include "notify/shell_command.h"
#include "output/console.h"
#include "output/event_log.h"

namespace {

// The in-process half of the mail lock; created before main runs.
plat::Lock g_mail_lock;

// How long a send waits for another copy of the program in this directory
// to finish its own: its command is bounded by the send timeout.
constexpr std::uint32_t kMailLockGraceSeconds = 30;

// The mail lock: the in-process lock and the lock file of the working
// directory, held together from before the message file is written until
// it has been deleted.
class MailLockHold {
public:
    explicit MailLockHold(std::uint32_t wait_seconds) : inside_(g_mail_lock), file_{-1} {
        const std::uint64_t ms = std::uint64_t{wait_seconds} * 1000u;
        const std::uint32_t wait_ms = ms > 0xFFFFFFF0u ? 0xFFFFFFF0u : static_cast<std::uint32_t>(ms);
        result_ = plat::file_lock_acquire(kMailLockFile, wait_ms, &file_);
    }
    ~MailLockHold() { plat::file_lock_release(&file_); }
    MailLockHold(const MailLockHold&) = delete;
    MailLockHold& operator=(const MailLockHold&) = delete;

    // A lock file that cannot be made (a directory we may not write) cannot
    // hold a message file either: the send goes on under the in-process lock.
    bool usable() const { return result_ != plat::FileLockResult::busy; }

private:
    plat::LockGuard inside_;
    plat::FileLock file_;
    plat::FileLockResult result_;
};

void put_crlf(std::FILE* file, const char* text) {
    if (text == nullptr) return;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n') std::fputc('\r', file);
        std::fputc(static_cast<unsigned char>(*p), file);
    }
}

void report_not_sent(const char* key, const char* reason) {
    console_note("Email not sent: %s %s\n", key, reason);
    log_event("Email not sent: %s %s\n", key, reason);
}

}  // namespace

bool append_mail_recipients(TextBuffer out, const char* recipients, plat::Interpreter kind) {
    FixedText<kRecipientWorkCap> work;
    work.assign(recipients);
    char* cursor = work.buf;
    while (const char* address = next_recipient(&cursor)) {
        if (quoted_value_problem(address, kind) != nullptr) return false;
        text_append(out, " --mail-rcpt ");
        append_quoted_argument(out, address, kind);
    }
    return true;
}

SettingProblem build_mail_command_for(const NotifySettings& settings, const char* recipients,
                                      TextBuffer out, plat::Interpreter kind) {
    text_copy(out, "");
    if (recipients == nullptr || recipients[0] == '\0') return {nullptr, nullptr};
    SettingProblem problem = mail_account_problem(settings, kind);
    if (!problem.found()) {
        if (const char* reason = recipient_list_problem(recipients, kind)) {
            problem = {"recipient list", reason};
        }
    }
    if (problem.found()) return problem;

    // -u takes user and password as one argument
    FixedText<sizeof settings.email.buf + sizeof settings.password.buf> user;
    user.format("%s:%s", settings.email.c_str(), settings.password.c_str());
    text_format(out, "curl -s %s --mail-from ", settings.server.c_str());
    append_quoted_argument(out, settings.from.c_str(), kind);
    text_append(out, " --ssl -u ");
    append_quoted_argument(out, user.c_str(), kind);
    text_append(out, " -T ");
    append_quoted_argument(out, kMailMessageFile, kind);
    append_mail_recipients(out, recipients, kind);
    return {nullptr, nullptr};
}

void build_mail_command(const NotifySettings* settings, const char* recipients, TextBuffer out) {
    text_copy(out, "");
    if (settings == nullptr) return;
    build_mail_command_for(*settings, recipients, out, plat::interpreter());
}

bool write_mail_message(const char* path, const char* from, const char* recipients,
                       const char* subject, const char* body) {
    // binary mode with the line ends written out: CRLF on every platform
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) return false;
    put_crlf(file, "From: ");
    put_crlf(file, from);
    put_crlf(file, "\nTo: ");
    put_crlf(file, recipients);
    put_crlf(file, "\nSubject: ");
    put_crlf(file, subject);
    put_crlf(file, "\nContent-Type: text/plain; charset=UTF-8\n\n");
    put_crlf(file, body);
    put_crlf(file, "\n");
    const bool written = std::ferror(file) == 0;
    return std::fclose(file) == 0 && written;
}

bool send_email(const NotifySettings* settings, const char* recipients, const char* subject,
                const char* body) {
    if (settings == nullptr || !settings->email_enabled || recipients == nullptr ||
        recipients[0] == '\0') {
        return false;
    }
    FixedText<kMailCommandCap> command;
    const SettingProblem problem =
        build_mail_command_for(*settings, recipients, command.out(), plat::interpreter());

    console_note("Sending email alert ...\n");
    log_event("Send email to %s\n", recipients);
    if (problem.found()) {
        report_not_sent(problem.key, problem.reason);
        return false;
    }

    const std::uint32_t timeout = send_timeout_of(*settings);
    MailLockHold hold(timeout + kMailLockGraceSeconds);
    if (!hold.usable()) {
        report_not_sent("mail lock", "is held by another loadhawk in this directory");
        return false;
    }
    // a file that cannot be written is not reported: curl's exit code tells
    (void)write_mail_message(kMailMessageFile, settings->from.c_str(), recipients, subject, body);
    const int rc = run_shell_command(command.c_str(), timeout);
    console_note("Email command rc=%d\n", rc);
    (void)plat::delete_file(kMailMessageFile);
    return rc == 0;
}
