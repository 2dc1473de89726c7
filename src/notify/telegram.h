// Telegram delivery: the Bot API's sendMessage method called through curl.
#pragma once

#include <cstddef>

#include "config/notify_settings.h"

// Percent-encodes `source` into `out` (capacity bytes): letters, digits and
// "-._~" stay, a blank becomes "+", every other byte "%XX". Stops before a
// byte when capacity - 4 characters or more are written, so the result holds
// at most capacity - 2 characters and never a cut escape.
void url_encode(const char* source, char* out, std::size_t capacity);

// Sends `text` to the configured chat. Returns 1 when curl ended with exit
// code 0, else 0. `silent` nonzero keeps the console quiet.
int send_telegram(const NotifySettings* settings, const char* text, int silent);
