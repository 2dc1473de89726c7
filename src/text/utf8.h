// UTF-8 that every receiver accepts: text that leaves loadhawk (console, log,
// mail, Telegram, metrics) is valid UTF-8 with no control characters, and a
// cut never ends inside a character.
#pragma once

#include <cstddef>

// The length of the valid character at `text` (1..4 bytes, at most `size`),
// or 0 when the bytes there are no character: a stray continuation byte, a
// sequence cut short, an overlong form, a surrogate or a value past U+10FFFF.
std::size_t utf8_char_length(const char* text, std::size_t size);

// Makes `text` printable UTF-8 in place and returns its new length: every
// byte that is not part of a valid character, every C0 control, DEL and
// every C1 control (U+0080..U+009F) becomes '?'; valid characters stay. The
// text never grows, so a buffer that held it holds the result.
std::size_t utf8_make_printable(char* text);

// The longest prefix of `text` (of `size` bytes) that holds at most `limit`
// bytes and does not end inside a character: where a cut to `limit` would
// split one, the whole character goes.
std::size_t utf8_cut_length(const char* text, std::size_t size, std::size_t limit);

// The length of the first `length` bytes of `text` without a character cut
// short at their end (a lead byte and fewer continuation bytes than it
// announces): what a cut that has lost the bytes after it keeps.
std::size_t utf8_whole_length(const char* text, std::size_t length);
