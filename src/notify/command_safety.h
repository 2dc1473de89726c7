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
// "smtp://" or "smtps://", a host name, an IPv4 address or an IPv6 address
// in brackets, an optional ":port" (1 to 65535) and an optional final "/".
// It stands unquoted on the command line, so it can hold no blank, quote or
// other character an interpreter or curl would read as more than a URL.
const char* server_value_problem(const char* server);

// True when the host of a valid `server` is this machine: localhost, an
// address of 127.0.0.0/8 or [::1].
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

// The recipient work copy: at most the first 899 characters of a list are
// split into addresses.
constexpr std::size_t kRecipientWorkCap = 900;

// Splits a recipient list in place: returns the next address, or null after
// the last. Commas separate (a run of them counts as one, commas at either
// end yield nothing); ASCII white space around an address is dropped and
// empty pieces are skipped. `*cursor` starts at the list's first character.
char* next_recipient(char** cursor);

// Null when every address of the comma-separated `recipients` (as
// build_mail_command splits them) can be passed, else why not.
const char* recipient_list_problem(const char* recipients, plat::Interpreter kind);

// Null when `base` can serve as the Bot API address: it begins with
// "http://" or "https://" (anything else would make curl read a file or
// speak another protocol). It reaches curl in its configuration file, not
// on the command line.
const char* telegram_api_problem(const char* base);
