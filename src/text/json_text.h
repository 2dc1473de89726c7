// JSON strings that every parser accepts: the text is escaped by the JSON
// grammar and made valid UTF-8 on the way, whatever bytes it held.
#pragma once

#include <cstddef>

#include "text/text_cursor.h"

// Adds the first `size` bytes of `text` to `out` as one JSON string, its
// quotes included: `"` and `\` get a backslash, line feed, carriage return
// and tab are written \n \r \t, every other character below U+0020 as
// \u00XX, and every byte that is no part of a valid UTF-8 character as '?'.
// Valid characters, DEL and C1 controls included, stand as they are.
void json_add_string(TextCursor* out, const char* text, std::size_t size);

// The same for a terminated text (null: "").
void json_add_text(TextCursor* out, const char* text);

// The byte length of the first `chars` characters of `text` (of `size`
// bytes), counted as json_add_string writes them: a byte that is no part of
// a valid character counts as one. The whole text when it has fewer.
std::size_t utf8_prefix_of_chars(const char* text, std::size_t size, std::size_t chars);
