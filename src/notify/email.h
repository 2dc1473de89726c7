// E-mail delivery through curl and the SMTP server of the settings.
#pragma once

#include "config/notify_settings.h"
#include "notify/command_line.h"
#include "platform/platform.h"
#include "text/fixed_text.h"

constexpr const char* kMailMessageFile = "cpumailtext.txt";
// The lock file that keeps two copies of the program in one directory from
// using each other's message file.
constexpr const char* kMailLockFile = "loadhawk_mail.lock";
constexpr std::size_t kMailCommandCap = 8192;

// Builds the curl command that sends the message file to every address of
// the comma-separated `recipients`. `out` (8192 bytes) holds the empty text
// when the call is refused or a value cannot be passed safely.
void build_mail_command(const NotifySettings* settings, const char* recipients, TextBuffer out);

// The same for the command interpreter `kind`: "curl -s %s --mail-from \"%s\"
// --ssl -u \"%s:%s\" -T \"%s\"" (server, from, email, password, message file)
// followed by one " --mail-rcpt \"%s\"" per address, cut where `out` is full.
// Returns the value that cannot be passed safely (`out` is then empty).
SettingProblem build_mail_command_for(const NotifySettings& settings, const char* recipients,
                                      TextBuffer out, plat::Interpreter kind);

// Appends one " --mail-rcpt \"%s\"" per address of `recipients` (split as
// next_recipient does, from its first 899 characters), each part cut where
// `out` is full. False when an address cannot be passed safely.
bool append_mail_recipients(TextBuffer out, const char* recipients, plat::Interpreter kind);

// Writes the message file: "From: %s\n", "To: %s\n", "Subject: %s\n",
// "Content-Type: text/plain; charset=UTF-8\n\n", "%s\n", every line feed
// stored as carriage return and line feed. Absent texts write nothing.
// Returns true when the file was written.
bool write_mail_message(const char* path, const char* from, const char* recipients,
                       const char* subject, const char* body);

// Sends one message to `recipients`, its progress as console notes. Returns
// true when curl ended with exit code 0.
bool send_email(const NotifySettings* settings, const char* recipients, const char* subject,
                const char* body);
