// E-mail delivery through curl and the SMTP server of the settings.
#pragma once

#include "config/notify_settings.h"
#include "notify/channels.h"
#include "notify/command_line.h"
#include "notify/curl_send.h"
#include "notify/shell_command.h"
#include "platform/command.h"
#include "text/fixed_text.h"

// Builds the curl command, for the command interpreter `kind`, that sends
// the message file to every address of the comma-separated `recipients`:
// "curl -s %s --mail-from \"%s\" %s -K \"%s\" -T \"%s\"" (server, from,
// the TLS option, the curl configuration file that holds the login, the
// message file) followed by one " --mail-rcpt \"%s\"" per address, cut
// where `out` is full. Returns the value that cannot be passed safely
// (`out` is then empty); `out` is empty too when there are no recipients.
SettingProblem build_mail_command_for(const NotifySettings& settings, const char* recipients,
                                      TextBuffer out, plat::Interpreter kind);

// Appends one " --mail-rcpt \"%s\"" per address of `recipients` (split as
// next_recipient does, from its first 899 characters), each part cut where
// `out` is full. False when an address cannot be passed safely.
bool append_mail_recipients(TextBuffer out, const char* recipients, plat::Interpreter kind);

// The TLS option of the mail command: "--ssl-reqd" when the password goes
// to a host that is not this machine (curl then never logs in without
// TLS), "--ssl" (TLS whenever the server offers it) for a loopback relay or
// when `smtptls` is "try".
const char* mail_tls_option(const NotifySettings& settings);

// A new Message-ID for a mail from `from` (see format_message_id); each
// call of the process gives another.
void new_message_id(const char* from, TextBuffer out);

// Writes the message file as a new transient file, every line feed stored
// as carriage return and line feed: "From: %s", "To: %s", "Subject: %s"
// (an encoded-word subject when it is not printable ASCII), "Date: ",
// "Message-ID: " (`message_id` when given, else a new one), with
// `in_reply_to` "In-Reply-To: " and "References: " naming that message,
// "MIME-Version: 1.0", "Content-Type: text/plain; charset=UTF-8",
// "Content-Transfer-Encoding: 8bit", the empty line and "%s\n" with the
// body. Absent texts write nothing. False, with no file left, when it
// cannot be written completely.
bool write_mail_message(const char* path, const char* from, const char* recipients,
                        const char* subject, const char* body, const char* message_id = nullptr,
                        const char* in_reply_to = nullptr);

// Sends one message to `recipients`, its progress as console notes and its
// outcome in the log. Returns true when curl ended with exit code 0.
bool send_email(const NotifySettings* settings, const char* recipients, const char* subject,
                const char* body, const char* message_id = nullptr,
                const char* in_reply_to = nullptr);

// The e-mail row of the channel table.
extern const NotifyChannel kEmailChannel;
