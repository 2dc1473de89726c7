#include "notify/email.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "notify/mail_headers.h"
#include "output/console.h"
#include "output/event_log.h"
#include "platform/process.h"
#include "platform/system.h"
#include "platform/time.h"
#include "platform/transient_files.h"
#include "text/utf8.h"

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

// The message file's texts, handed through the send to its writer.
struct MailTexts {
    const char* from;
    const char* recipients;
    const char* subject;
    const char* body;
};

bool write_message_file(const char* path, const void* context) {
    const MailTexts& m = *static_cast<const MailTexts*>(context);
    return write_mail_message(path, m.from, m.recipients, m.subject, m.body);
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
    FixedText<kCommandLineCap> command;
    const SettingProblem problem =
        build_mail_command_for(*settings, recipients, command.out(), plat::interpreter());

    console_note("Sending email alert ...\n");
    // a list refused for a control character is logged without it
    FixedText<kRecipientWorkCap> shown;
    shown.assign(recipients);
    utf8_make_printable(shown.buf);
    log_event("Send email to %s\n", shown.c_str());
    if (problem.found()) {
        report_not_sent("Email", problem.key, problem.reason);
        return false;
    }
    FixedText<sizeof settings->email.buf + sizeof settings->password.buf> user;
    user.format("%s:%s", settings->email.c_str(), settings->password.c_str());
    const MailTexts texts{settings->from.c_str(), recipients, subject, body};
    CurlRequest request{};
    request.channel = "Email";
    request.command = command.c_str();
    request.config_option = "user";
    request.config_value = user.c_str();
    request.file = {kMailMessageFile, "message file", write_message_file, &texts};
    request.sent_to = recipients;
    request.timeout_seconds = send_timeout_of(*settings);
    return send_with_curl(request);
}

namespace {

// The rules of values that stand unquoted or must have a form curl takes,
// whatever the interpreter.
const char* server_problem(const char* value, plat::Interpreter) {
    return server_value_problem(value);
}
const char* tls_problem(const char* value, plat::Interpreter) { return smtptls_problem(value); }

// The login and the password reach curl in its configuration file, where
// any byte passes; the login is an address all the same, and the sender
// when `from` is left out.
constexpr ChannelKey kEmailKeys[] = {
    {"server", KeyNeed::required, server_problem},
    {"email", KeyNeed::required, address_control_problem},
    {"password", KeyNeed::required, nullptr},
    {"from", KeyNeed::optional, address_value_problem},
    {"to", KeyNeed::required, recipient_list_problem},
    {"iamalive", KeyNeed::optional, recipient_list_problem},
    {"smtptls", KeyNeed::optional, tls_problem},
};

bool email_configured(const NotifySettings& s) { return s.email_enabled; }

bool send_email_message(const NotifySettings& s, const ChannelMessage& m) {
    return send_email(&s, m.recipients, m.subject, m.body);
}

}  // namespace

const NotifyChannel kEmailChannel = {
    "email", "Email", kEmailKeys, std::size(kEmailKeys), email_configured,
    &ChannelMessage::recipients, send_email_message,
};
