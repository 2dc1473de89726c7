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
// The SMTP server stands unquoted and may hold only letters, digits, blanks
// and `: / . - _ @ [ ] + = , ~`.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// Null when `server` may stand unquoted on the command line, else why not.
const char* server_value_problem(const char* server);

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
// "http://" or "https://" (anything else would reach curl as an option or a
// file name) and can be passed quoted.
const char* telegram_api_problem(const char* base, plat::Interpreter kind);
