#include "config/notify_settings.h"

#include <cstdio>
#include <cstring>

#include "config/config_line.h"
#include "config/line_reader.h"
#include "output/console.h"
#include "platform/files.h"

namespace {

// A secret (token, webhook address) whose scrambled form ("encry(" + 2n
// digits + ")") would be cut at 511 characters cannot read back; such a
// secret stays plain on its line.
constexpr std::size_t kMaxScrambledSecret = 252;

std::uint32_t key_bit(NotifyKey key) { return 1u << static_cast<unsigned>(key); }

// The plain secret of a value: a value that looks scrambled but is not
// valid is the secret itself.
void plain_secret(const char* value, TextBuffer out) {
    if (!unscramble_secret(value, out)) text_copy(out, value);
}

// Stores `value` (a secret in plain) in `field`, and marks it when it does
// not fit; a later line of the key that fits clears the mark.
template <std::size_t N>
void store(NotifySettings* s, NotifyKey key, const char* value, FixedText<N>* field, bool secret) {
    FixedText<kScrambledCap> plain;
    if (secret) {
        plain_secret(value, plain.out());
        value = plain.c_str();
    }
    s->too_long &= ~key_bit(key);
    if (std::strlen(value) > N - 1) s->too_long |= key_bit(key);
    field->assign(value);
}

void apply_line(NotifySettings* s, const char* key, const char* value) {
    const NotifyKey id = notify_key_of(key);
    switch (id) {
        case NotifyKey::none:
            return;
        case NotifyKey::server:
            store(s, id, value, &s->server, false);
            return;
        case NotifyKey::email:
            store(s, id, value, &s->email, false);
            return;
        case NotifyKey::from:
            store(s, id, value, &s->from, false);
            return;
        case NotifyKey::to:
            store(s, id, value, &s->to, false);
            return;
        case NotifyKey::chat_id:
            store(s, id, value, &s->chat_id, false);
            return;
        case NotifyKey::password:
            store(s, id, value, &s->password, true);
            return;
        case NotifyKey::token:
            store(s, id, value, &s->token, true);
            if (!s->token.empty()) s->telegram_enabled = true;
            return;
        case NotifyKey::iamalive:
            // a later list without an at sign does not switch the heartbeat off
            store(s, id, value, &s->iamalive, false);
            if (std::strchr(s->iamalive.c_str(), '@') != nullptr) s->heartbeat_enabled = true;
            return;
        case NotifyKey::telegram_api:
            store(s, id, value, &s->telegram_api, false);
            return;
        case NotifyKey::sendtimeout:
            s->sendtimeout = parse_config_number(value);
            return;
        case NotifyKey::smtptls:
            s->smtptls.assign(value);
            return;
        case NotifyKey::webhook:
            store(s, id, value, &s->webhook, true);
            return;
        case NotifyKey::webhookformat:
            store(s, id, value, &s->webhookformat, false);
            return;
    }
}

const char* yes_no(bool flag) { return flag ? "yes" : "no"; }

}  // namespace

NotifyKey notify_key_of(const char* key) {
    for (const NotifyKeyName& name : kNotifyKeyNames) {
        if (std::strcmp(key, name.key) == 0) return name.id;
    }
    return NotifyKey::none;
}

std::int32_t sendtimeout_in_use(std::int32_t read) { return read > 0 ? read : kDefaultSendTimeout; }

const char* notify_key_name(NotifyKey key) {
    for (const NotifyKeyName& name : kNotifyKeyNames) {
        if (name.id == key) return name.key;
    }
    return "";
}

std::size_t notify_value_limit(NotifyKey key) {
    switch (key) {
        case NotifyKey::server:
        case NotifyKey::email:
        case NotifyKey::from:
        case NotifyKey::telegram_api:
            return kAccountTextCap - 1;
        case NotifyKey::to:
        case NotifyKey::iamalive:
            return kRecipientListCap - 1;
        case NotifyKey::password:
            return kPasswordCap - 1;
        case NotifyKey::token:
        case NotifyKey::chat_id:
            return kTelegramKeyCap - 1;
        case NotifyKey::webhook:
            return kWebhookUrlCap - 1;
        case NotifyKey::webhookformat:
            return kWebhookFormatCap - 1;
        case NotifyKey::none:
        case NotifyKey::smtptls:  // its one value is checked as it is
        case NotifyKey::sendtimeout:
            break;
    }
    return 0;
}

const char* notify_value_length_problem(const char* key, const char* value) {
    const NotifyKey id = notify_key_of(key);
    const std::size_t limit = notify_value_limit(id);
    if (limit == 0 || value == nullptr) return nullptr;
    FixedText<kScrambledCap> plain;
    if (id == NotifyKey::password || id == NotifyKey::token) {
        plain_secret(value, plain.out());
        value = plain.c_str();
    }
    return std::strlen(value) > limit ? longer_than_text(limit) : nullptr;
}

NotifyKey first_too_long(const NotifySettings& settings, const NotifyKey* keys, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if ((settings.too_long & key_bit(keys[i])) != 0) return keys[i];
    }
    return NotifyKey::none;
}

bool load_notify_settings(NotifySettings* settings) {
    *settings = NotifySettings{};
    NotifySettings& s = *settings;
    std::FILE* file = plat::open_kept_file(kNotifySettingsFile, plat::KeptFileMode::read, nullptr);
    if (file == nullptr) {
        console_note("%s not found. Email / Telegram alerts disabled.\n", kNotifySettingsFile);
        s.telegram_api.assign(kDefaultTelegramApi);
        s.sendtimeout = kDefaultSendTimeout;
        return false;
    }
    // a switched-off line is ignored whatever its key
    for_each_config_item(file, [&s](const char* key, const char* value, bool disabled) {
        if (!disabled) apply_line(&s, key, value);
    });
    std::fclose(file);

    if (s.from.empty()) s.from.assign(s.email.c_str());
    if (s.telegram_api.empty()) s.telegram_api.assign(kDefaultTelegramApi);
    s.sendtimeout = sendtimeout_in_use(s.sendtimeout);
    if (s.webhookformat.empty()) s.webhookformat.assign(kDefaultWebhookFormat);

    // on every load, so that a secret typed in plain is scrambled at once;
    // one that does not fit its field stays on its line as it was written
    const bool password_whole = (s.too_long & key_bit(NotifyKey::password)) == 0;
    const bool token_whole = (s.too_long & key_bit(NotifyKey::token)) == 0;
    if (!s.password.empty() && password_whole) {
        (void)rewrite_secret_line("password", s.password.c_str());
    }
    if (!s.token.empty() && token_whole && s.token.length() <= kMaxScrambledSecret) {
        (void)rewrite_secret_line("token", s.token.c_str());
    }
    const bool webhook_whole = (s.too_long & key_bit(NotifyKey::webhook)) == 0;
    if (!s.webhook.empty() && webhook_whole && s.webhook.length() <= kMaxScrambledSecret) {
        (void)rewrite_secret_line("webhook", s.webhook.c_str());
    }

    s.email_enabled = !s.server.empty() && !s.email.empty() && !s.password.empty() && !s.to.empty();
    if (s.token.empty() || s.chat_id.empty()) s.telegram_enabled = false;
    s.webhook_enabled = !s.webhook.empty();

    console_note("Email enabled: %s\n", yes_no(s.email_enabled));
    console_note("Telegram enabled: %s\n", yes_no(s.telegram_enabled));
    console_note("Webhook enabled: %s\n", yes_no(s.webhook_enabled));
    return s.email_enabled || s.telegram_enabled || s.webhook_enabled;
}
