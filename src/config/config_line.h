// The one parser of both settings files: a line `key : "value"` (or
// `key = "value"` when the line holds no colon), an optional leading `*`
// that marks the item as switched off, `#` comments and blank lines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/fixed_text.h"

constexpr std::size_t kConfigKeyCap = 128;
constexpr std::size_t kConfigValueCap = 1024;

using ConfigKey = FixedText<kConfigKeyCap>;
using ConfigValue = FixedText<kConfigValueCap>;

// True for a key/value line, false for anything else. Key and value come
// out trimmed of white space at both ends (key cut to 127, value to 1023
// characters); `disabled` (optional) is set when the line began with `*`.
// The key may be written although the result is false.
bool parse_config_line(const char* line, ConfigKey* key_out, ConfigValue* value_out, bool* disabled_out);

// The six white-space characters of the settings files: space, tab, line
// feed, vertical tab, form feed, carriage return. No byte above 0x7F.
bool is_config_space(char c);

// A value read as a signed decimal integer: optional sign, the leading
// digits, nothing else; no digits reads as 0. Values beyond the 32-bit
// range saturate to it.
std::int32_t parse_config_number(const char* value);

// How a value reads as a number: a whole signed decimal integer within the
// 32-bit range, a whole one beyond it (read saturated), or anything else
// (read by parse_config_number all the same, from its leading digits).
enum class NumberForm { number, beyond_range, not_a_number };
NumberForm config_number_form(const char* value);

// Trims the six white-space characters at both ends, in place; returns the
// first character kept.
char* trim_config_space(char* text);

// "longer than <limit> characters", the reason a value does not fit a field
// of `limit` bytes, for the limits the settings fields have; "longer than
// its field" for any other.
const char* longer_than_text(std::size_t limit);
