// E-mail delivery through curl and the SMTP server of the settings.
#pragma once

#include "config/notify_settings.h"
#include "text/fixed_text.h"

constexpr const char* kMailMessageFile = "cpumailtext.txt";

// Builds the curl command that sends the message file to every address of
// the comma-separated `recipients`. `out` (8192 bytes) holds the empty text
// when the call is refused or a value cannot be passed safely.
void build_mail_command(const NotifySettings* settings, const char* recipients, TextBuffer out);

// Sends one message to `recipients`. Returns 1 when curl ended with exit
// code 0, else 0. `silent` nonzero keeps the console quiet.
int send_email(const NotifySettings* settings, const char* recipients, const char* subject,
               const char* body, int silent);
