#include "notify/email.h"

#include <cstdio>
#include <cstring>

#include "notify/mail_headers.h"
#include "notify/send_outcome.h"
#include "notify/shell_command.h"
#include "output/console.h"
#include "output/event_log.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/time.h"
#include "platform/transient_files.h"

namespace {

constexpr std::size_t kComputerNameCap = 256;

// The messages this process has written, for unique message ids.
std::uint32_t g_message_count = 0;

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

// How far a send got under the mail lock.
enum class SendStep { lock_busy, message_file, config_file, ran };

// Holds the mail lock while the message and the curl configuration file
// are written, curl runs (its exit code in *rc) and both files go again.
SendStep send_under_lock(const NotifySettings& settings, const char* recipients,
                         const char* subject, const char* body, const char* command, int* rc) {
    const std::uint32_t timeout = send_timeout_of(settings);
    MailLockHold hold(timeout + kMailLockGraceSeconds);
    if (!hold.usable()) return SendStep::lock_busy;
    // a message that is not whole on the disk is never sent
    if (!write_mail_message(kMailMessageFile, settings.from.c_str(), recipients, subject, body)) {
        return SendStep::message_file;
    }
    FixedText<sizeof settings.email.buf + sizeof settings.password.buf> user;
    user.format("%s:%s", settings.email.c_str(), settings.password.c_str());
    if (!write_curl_config(kCurlConfigFile, "user", user.c_str())) {
        plat::remove_transient_file(kMailMessageFile);
        return SendStep::config_file;
    }
    *rc = run_shell_command(command, timeout);
    console_note("Email command rc=%d\n", *rc);
    plat::remove_transient_file(kCurlConfigFile);
    plat::remove_transient_file(kMailMessageFile);
    return SendStep::ran;
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

const char* mail_tls_option(const NotifySettings& settings) {
    const bool try_only = std::strcmp(settings.smtptls.c_str(), kSmtpTlsTry) == 0;
    const bool password_leaves = !settings.password.empty() && !server_is_loopback(settings.server.c_str());
    return password_leaves && !try_only ? "--ssl-reqd" : "--ssl";
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

    // the login stays off the command line: curl reads it from -K's file
    text_format(out, "curl -s %s --mail-from ", settings.server.c_str());
    append_quoted_argument(out, settings.from.c_str(), kind);
    text_append(out, " %s -K ", mail_tls_option(settings));
    append_quoted_argument(out, kCurlConfigFile, kind);
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
    plat::LocalTime now{};
    plat::local_time(&now);
    FixedText<kMailDateCap> date;
    format_mail_date(now, plat::local_utc_offset_minutes(), date.out());
    FixedText<kComputerNameCap> computer;
    (void)plat::computer_name(computer.out());
    FixedText<kMessageIdCap> message_id;
    format_message_id(now, plat::own_pid(), ++g_message_count, from, computer.c_str(), message_id.out());
    FixedText<kEncodedSubjectCap> encoded_subject;
    encode_header_text(subject, encoded_subject.out());

    // binary mode with the line ends written out: CRLF on every platform
    std::FILE* file = plat::create_transient_file(path);
    if (file != nullptr) {
        put_crlf(file, "From: ");
        put_crlf(file, from);
        put_crlf(file, "\nTo: ");
        put_crlf(file, recipients);
        put_crlf(file, "\nSubject: ");
        put_crlf(file, encoded_subject.c_str());
        put_crlf(file, "\nDate: ");
        put_crlf(file, date.c_str());
        put_crlf(file, "\nMessage-ID: ");
        put_crlf(file, message_id.c_str());
        put_crlf(file, "\nMIME-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
                       "Content-Transfer-Encoding: 8bit\n\n");
        put_crlf(file, body);
        put_crlf(file, "\n");
    }
    return finish_transient_file(file, path);
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
    int rc = 0;
    const SendStep step = send_under_lock(*settings, recipients, subject, body, command.c_str(), &rc);
    // the outcome is logged after the mail lock is given back
    switch (step) {
    case SendStep::lock_busy:
        report_not_sent("mail lock", kMailLockBusy);
        return false;
    case SendStep::message_file:
        report_not_sent("message file", kNotWrittenCompletely);
        return false;
    case SendStep::config_file:
        report_not_sent("curl configuration file", kNotWrittenCompletely);
        return false;
    case SendStep::ran:
        break;
    }
    if (rc == 0) {
        log_event("Email sent to %s\n", recipients);
    } else {
        log_send_failure("Email", rc);
    }
    return rc == 0;
}
