// What "-check" says of a value beyond its line's syntax: a number the
// monitor cannot use as written, a value left from the example files.
#pragma once

#include "control/config_check.h"

// Whether the value of a known `key` on line `line_number` of a file of
// `kind` is a number the monitor uses as written (true for a key that
// holds no number). Prints, when not, what the monitor uses instead, or
// why the number cannot work.
bool number_passes(const char* key, const char* value, SettingsFile kind, int line_number);

// Prints a warning when the value of `key` is still the one the example
// files hold in its place (a scrambled secret is compared in plain).
void warn_of_placeholder(const char* key, const char* value, int line_number);
