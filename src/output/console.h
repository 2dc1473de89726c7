// Console output. Everything the program prints goes through these
// functions, so tests can point them at files of their own.
#pragma once

#include <cstdio>

#include "text/fixed_text.h"

void console_out(const char* fmt, ...) LH_PRINTF(1, 2);  // standard output
void console_err(const char* fmt, ...) LH_PRINTF(1, 2);  // standard error

// The one rule of silent mode: false while it is on. Notes are the lines
// of the monitor run and the senders; start-up failures and the answers of
// the commands are always written.
bool console_notes_shown();
// A note to standard output, left out in silent mode.
void console_note(const char* fmt, ...) LH_PRINTF(1, 2);

// Redirects the two streams (null restores stdout / stderr).
void console_redirect(std::FILE* out, std::FILE* err);

// Hands every console text to `sink` instead of a stream (null: the streams
// again); a service, which has no console, keeps them in its log.
using ConsoleSink = void (*)(const char* text);
void console_divert(ConsoleSink sink);
