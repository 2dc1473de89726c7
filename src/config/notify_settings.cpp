#include "config/notify_settings.h"

#include <cstdio>
#include <cstring>

#include "config/config_line.h"
#include "config/line_reader.h"
#include "output/console.h"
#include "platform/files.h"

namespace {

// A token whose scrambled form ("encry(" + 2n digits + ")") would be cut at
// 511 characters cannot read back; such a token stays plain on its line.
constexpr std::size_t kMaxScrambledSecret = 252;

template <std::size_t N>
void store_secret(const char* value, FixedText<N>* field) {
    // a value that looks scrambled but is not valid is the secret itself
    if (!unscramble_secret(value, field->out())) field->assign(value);
}

void apply_line(NotifySettings* s, const char* key, const char* value) {
    switch (notify_key_of(key)) {
        case NotifyKey::none:
            return;
        case NotifyKey::server:
            s->server.assign(value);
            return;
        case NotifyKey::email:
            s->email.assign(value);
            return;
        case NotifyKey::from:
            s->from.assign(value);
            return;
        case NotifyKey::to:
            s->to.assign(value);
            return;
        case NotifyKey::chat_id:
            s->chat_id.assign(value);
            return;
        case NotifyKey::password:
            store_secret(value, &s->password);
            return;
        case NotifyKey::token:
            store_secret(value, &s->token);
            if (!s->token.empty()) s->telegram_enabled = true;
            return;
        case NotifyKey::iamalive:
            // a later list without an at sign does not switch the heartbeat off
            s->iamalive.assign(value);
            if (std::strchr(s->iamalive.c_str(), '@') != nullptr) s->heartbeat_enabled = true;
            return;
        case NotifyKey::telegram_api:
            s->telegram_api.assign(value);
            return;
        case NotifyKey::sendtimeout:
            s->sendtimeout = parse_config_number(value);
            return;
        case NotifyKey::smtptls:
            s->smtptls.assign(value);
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

    // on every load, so that a secret typed in plain is scrambled at once
    if (!s.password.empty()) (void)rewrite_secret_line("password", s.password.c_str());
    if (!s.token.empty() && s.token.length() <= kMaxScrambledSecret) {
        (void)rewrite_secret_line("token", s.token.c_str());
    }

    s.email_enabled = !s.server.empty() && !s.email.empty() && !s.password.empty() && !s.to.empty();
    if (s.token.empty() || s.chat_id.empty()) s.telegram_enabled = false;

    console_note("Email enabled: %s\n", yes_no(s.email_enabled));
    console_note("Telegram enabled: %s\n", yes_no(s.telegram_enabled));
    return s.email_enabled || s.telegram_enabled;
}
