// Which settings values can pass a command interpreter unchanged: the
// character rules that "-check" reports and the curl command lines obey.
//
// A value that stands in double quotes stays in double quotes:
// - /bin/sh: `\`, `"`, `$` and the backquote get a backslash before them;
// - cmd.exe: `& | < > ^ ( )` are literal inside quotes, but `%NAME%` is
//   expanded even there, so every `%` is written as `"%"` (the name between
//   two percent signs then always holds a quote, which no variable's name
//   does); a run of backslashes directly before a quote written this way, or
//   before the closing quote, is doubled, as the C runtime's argument rules
//   need. A double quote or a control character cannot pass cmd.exe safely.
// The SMTP server stands unquoted and is one smtp:// or smtps:// address of
// a host and an optional port, nothing else.
// Secrets (the SMTP login, the Bot API address with the token) never stand
// on a command line: curl reads them from its configuration file.
#pragma once

#include <cstddef>

#include "platform/command.h"

// Null when `server` is one SMTP address curl can take and nothing else:
// "smtp://" or "smtps://", a host, an optional ":port" (1 to 65535) and an
// optional final "/". The host is a DNS name (labels of letters, digits,
// '-' and '_', 1 to 63 each, none beginning or ending with '-', at most 253
// characters, one final dot allowed), an IPv4 address as curl reads one
// (one to four numbers, each decimal, octal after a leading 0 or hex after
// 0x: "127.1", "0x7f.0.0.1"), or an IPv6 address in brackets. A host whose
// last label is a number but that is no such address ("999.1.1.1",
// "127.0.0.09") is refused: curl would look it up as a name. It stands
// unquoted on the command line, so it can hold no blank, quote or other
// character an interpreter or curl would read as more than a URL.
// (server_value_problem and server_is_loopback: notify/smtp_server.cpp)
const char* server_value_problem(const char* server);

// True when curl reaches the host of a valid `server` on this machine
// without asking a resolver: "localhost" (curl answers it itself), an IPv4
// address of 127.0.0.0/8 in any form curl reads, [::1] or an IPv4-mapped
// [::ffff:127.x.y.z]. Anything else, "localhost." included, which curl
// hands to the system's resolver, is not.
bool server_is_loopback(const char* server);

// The one value of the optional key `smtptls`: "try" lets curl log in
// without TLS when the server offers none, also on a host that is not this
// machine.
constexpr const char* kSmtpTlsTry = "try";
// Null when `value` may stand for `smtptls` (empty or "try"), else why not.
const char* smtptls_problem(const char* value);

// Null when `value` can stand inside a double-quoted argument of `kind`'s
// command line and reach curl unchanged, else why not.
const char* quoted_value_problem(const char* value, plat::Interpreter kind);

// Null when the e-mail address `value` holds no control character (a
// carriage return or line feed would start a header of its own, on every
// platform), else why not. `kind` is not looked at: the login reaches curl
// in its configuration file.
const char* address_control_problem(const char* value, plat::Interpreter kind);
// address_control_problem, then quoted_value_problem: an address that
// stands on the command line.
const char* address_value_problem(const char* value, plat::Interpreter kind);

// The recipient work copy: at most the first 899 characters of a list are
// split into addresses.
constexpr std::size_t kRecipientWorkCap = 900;

// Splits a recipient list in place: returns the next address, or null after
// the last. Commas separate (a run of them counts as one, commas at either
// end yield nothing); ASCII white space around an address is dropped and
// empty pieces are skipped. `*cursor` starts at the list's first character.
char* next_recipient(char** cursor);

// Null when the comma-separated `recipients` hold no control character and
// every address of them (as build_mail_command splits them) can be passed,
// else why not.
const char* recipient_list_problem(const char* recipients, plat::Interpreter kind);

// Null when `base` can serve as the Bot API address: it begins with
// "http://" or "https://" (anything else would make curl read a file or
// speak another protocol). It reaches curl in its configuration file, not
// on the command line.
const char* telegram_api_problem(const char* base);
