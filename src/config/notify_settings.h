// The notification settings file "loadhawk_email.txt": SMTP server and
// account, recipients, Telegram bot, chat or incident webhook, and the
// scrambled form in which the password, the token and the webhook address
// are written back into the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "text/fixed_text.h"

constexpr const char* kNotifySettingsFile = "loadhawk_email.txt";
constexpr const char* kNotifyTempFile = "cpufiletemp.txt";
// The lock that serialises rewrites of the settings file, beside it.
constexpr const char* kNotifyLockFile = "loadhawk_email.lock";
constexpr const char* kDefaultTelegramApi = "https://api.telegram.org";
constexpr std::int32_t kDefaultSendTimeout = 120;

constexpr std::size_t kAccountTextCap = 200;    // server, email, from, telegram_api
constexpr std::size_t kRecipientListCap = 800;  // to, iamalive
constexpr std::size_t kPasswordCap = 128;
constexpr std::size_t kTelegramKeyCap = 256;     // token, chat_id
constexpr std::size_t kSmtpTlsCap = 16;
constexpr std::size_t kWebhookUrlCap = 1024;
constexpr std::size_t kWebhookFormatCap = 16;
constexpr const char* kDefaultWebhookFormat = "slack";

struct NotifySettings {
    bool email_enabled;      // server, email, password and to all set
    bool heartbeat_enabled;  // the iamalive list holds an at sign
    FixedText<kAccountTextCap> server;
    FixedText<kAccountTextCap> email;
    FixedText<kPasswordCap> password;  // always plain in memory
    FixedText<kAccountTextCap> from;
    FixedText<kRecipientListCap> to;
    FixedText<kRecipientListCap> iamalive;
    bool telegram_enabled;  // token and chat_id both set
    FixedText<kTelegramKeyCap> token;           // always plain in memory
    FixedText<kTelegramKeyCap> chat_id;
    FixedText<kAccountTextCap> telegram_api;  // Bot API base address, "https://api.telegram.org" unless set
    std::int32_t sendtimeout;     // seconds a notification command may run, 120 unless set
    FixedText<kSmtpTlsCap> smtptls;  // "try": no TLS required for a password leaving the machine
    // bit (1 << NotifyKey) for each value longer than its field: the field
    // holds a cut copy that is never sent and never written back
    std::uint32_t too_long;
    bool webhook_enabled;  // webhook set
    FixedText<kWebhookUrlCap> webhook;  // the receiver's address, a secret; always plain in memory
    FixedText<kWebhookFormatCap> webhookformat;  // the body's form, "slack" unless set
};
static_assert(std::is_trivially_copyable_v<NotifySettings>);

// The keys of the notification settings file, read by the loader and by
// "-check" alike.
enum class NotifyKey {
    none, server, email, password, from, to, iamalive, token, chat_id, telegram_api, sendtimeout,
    smtptls, webhook, webhookformat,
};
constexpr std::size_t kNotifyKeyCount = 14;  // none included
struct NotifyKeyName {
    const char* key;
    NotifyKey id;
};
inline constexpr NotifyKeyName kNotifyKeyNames[] = {
    {"server", NotifyKey::server},   {"email", NotifyKey::email},
    {"password", NotifyKey::password}, {"from", NotifyKey::from},
    {"to", NotifyKey::to},           {"iamalive", NotifyKey::iamalive},
    {"token", NotifyKey::token},     {"chat_id", NotifyKey::chat_id},
    {"telegram_api", NotifyKey::telegram_api}, {"sendtimeout", NotifyKey::sendtimeout},
    {"smtptls", NotifyKey::smtptls}, {"webhook", NotifyKey::webhook},
    {"webhookformat", NotifyKey::webhookformat},
};

// The key `key` names; none for one the file does not use.
NotifyKey notify_key_of(const char* key);
// The name of `key` in the file; "" for none.
const char* notify_key_name(NotifyKey key);

// The most bytes the field of `key` holds (its capacity less the
// terminator); 0 for a number or a key the file does not use. For the
// password and the token it is the length of the plain secret.
std::size_t notify_value_limit(NotifyKey key);

// "longer than <limit> characters" when the value of the settings key `key`
// (a secret counted in plain) does not fit its field; null when it fits.
const char* notify_value_length_problem(const char* key, const char* value);

// The first key of `keys` whose value was longer than its field, or none.
NotifyKey first_too_long(const NotifySettings& settings, const NotifyKey* keys, std::size_t count);

// The send timeout used for the number `read` from a sendtimeout line:
// `read`, or the default when it is not positive.
std::int32_t sendtimeout_in_use(std::int32_t read);

// Fills `settings` (cleared first), rewrites a non-empty password, token
// and webhook address that fit their fields in scrambled form and prints
// which channels are enabled as console notes. Returns true when any
// channel is usable.
bool load_notify_settings(NotifySettings* settings);

// Capacity of a scrambled form: "encry(" + up to 510 hex digits + ")".
constexpr std::size_t kScrambledCap = 512;

// The plain secret of a value as read from the file. Returns true for a
// plain value or a valid scrambled one, false (and empty `out`) for a value
// that has the scrambled form but is not valid.
bool unscramble_secret(const char* text, TextBuffer out);

// "encry(" + upper-case hex of the first 255 bytes XOR the key + ")", cut to
// 511 characters.
void scramble_secret(const char* plain, TextBuffer out);

// Replaces the first active line of `key` in the settings file by
// `key : "<scrambled plain>"`, atomically, under the lock beside the file
// that every copy of the program takes for a rewrite; the file is read under
// that lock. A settings file that is a link (ours or root's) is rewritten at
// its target. Returns true when the file was replaced (otherwise the file
// stays as it was, or, when even the fallback of a failed replace failed,
// its new content stays in the temporary copy, which a line names).
bool rewrite_secret_line(const char* key, const char* plain);
