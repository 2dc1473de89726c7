// The notification settings file "loadhawk_email.txt": SMTP server and
// account, recipients, Telegram bot, and the scrambled form in which the
// password and the token are written back into the file.
#pragma once

#include <cstdint>
#include <type_traits>

#include "text/fixed_text.h"

constexpr const char* kNotifySettingsFile = "loadhawk_email.txt";
constexpr const char* kNotifyTempFile = "cpufiletemp.txt";
constexpr const char* kDefaultTelegramApi = "https://api.telegram.org";
constexpr std::int32_t kDefaultSendTimeout = 120;

struct NotifySettings {
    std::int32_t email_enabled;      // server, email, password and to all set
    std::int32_t heartbeat_enabled;  // the iamalive list holds an at sign
    FixedText<200> server;
    FixedText<200> email;
    FixedText<128> password;  // always plain in memory
    FixedText<200> from;
    FixedText<800> to;
    FixedText<800> iamalive;
    std::int32_t telegram_enabled;  // token and chat_id both set
    FixedText<256> token;           // always plain in memory
    FixedText<256> chat_id;
    FixedText<200> telegram_api;  // Bot API base address, "https://api.telegram.org" unless set
    std::int32_t sendtimeout;     // seconds a notification command may run, 120 unless set
};
static_assert(std::is_trivially_copyable_v<NotifySettings>);

// Fills `settings` (cleared first), rewrites a non-empty password and token
// in scrambled form and, unless `silent`, prints which channels are enabled.
// Returns 1 when e-mail or Telegram is usable, else 0.
int load_notify_settings(NotifySettings* settings, int silent);

// Capacity of a scrambled form: "encry(" + up to 510 hex digits + ")".
constexpr std::size_t kScrambledCap = 512;

// The plain secret of a value as read from the file. Returns 1 for a plain
// value or a valid scrambled one, 0 (and empty `out`) for a value that has
// the scrambled form but is not valid.
int unscramble_secret(const char* text, char* out, std::size_t capacity);

// "encry(" + upper-case hex of the first 255 bytes XOR the key + ")", cut to
// 511 characters.
void scramble_secret(const char* plain, TextBuffer out);

// Replaces the first active line of `key` in the settings file by
// `key : "<scrambled plain>"`, atomically. Returns 1 when the file was
// replaced, 0 otherwise (the file then stays as it was).
int rewrite_secret_line(const char* key, const char* plain);
