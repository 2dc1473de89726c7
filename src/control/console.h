// Console output. Everything the program prints goes through these two
// functions, so tests can point them at files of their own.
#pragma once

#include <cstdio>

#include "text/fixed_text.h"

void console_out(const char* fmt, ...) LH_PRINTF(1, 2);  // standard output
void console_err(const char* fmt, ...) LH_PRINTF(1, 2);  // standard error

// Redirects the two streams (null restores stdout / stderr).
void console_redirect(std::FILE* out, std::FILE* err);
