// The header lines that make an alert mail a complete Internet message:
// the date, a message id of its own, and a subject that survives any mail
// system when it holds bytes beyond ASCII.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/time.h"
#include "text/fixed_text.h"

constexpr std::size_t kMailDateCap = 40;
constexpr std::size_t kMessageIdCap = 320;
// A subject of up to 511 bytes in encoded words of 45 bytes each, every
// word folded onto a line of its own.
constexpr std::size_t kEncodedSubjectCap = 1024;

// The date-time form of mail headers, "Tue, 08 Dec 2026 09:09:38 +0100":
// the local time `at` and its offset east of UTC in minutes.
void format_mail_date(const plat::LocalTime& at, std::int32_t utc_offset_minutes, TextBuffer out);

// "<20261208090938.4242.7@example.com>": the time, the process id and a
// counter of the process's messages make it unique; right of the "@"
// stands the domain of the sender address `from`, or else the computer
// name `computer`, or "localhost" when neither is usable.
void format_message_id(const plat::LocalTime& at, std::uint32_t pid, std::uint32_t counter,
                       const char* from, const char* computer, TextBuffer out);

// A subject as the header carries it: printable ASCII stays as it is;
// anything else becomes UTF-8 base64 encoded words ("=?UTF-8?B?...?="),
// each at most 75 characters and never splitting a character, joined by a
// line feed and a blank (a folded header line once written with CRLF).
void encode_header_text(const char* text, TextBuffer out);
