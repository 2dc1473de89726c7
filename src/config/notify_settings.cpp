#include "config/notify_settings.h"

#include <cstdio>
#include <cstring>

#include "config/config_line.h"
#include "config/line_reader.h"
#include "control/console.h"

namespace {

// A token whose scrambled form ("encry(" + 2n digits + ")") would be cut at
// 511 characters cannot read back; such a token stays plain on its line.
constexpr std::size_t kMaxScrambledSecret = 252;

template <std::size_t N>
void store_secret(const char* value, FixedText<N>* field) {
    // a value that looks scrambled but is not valid is the secret itself
    if (unscramble_secret(value, field->buf, N) == 0) field->assign(value);
}

void apply_line(NotifySettings* s, const char* key, const char* value) {
    if (std::strcmp(key, "server") == 0) {
        s->server.assign(value);
    } else if (std::strcmp(key, "email") == 0) {
        s->email.assign(value);
    } else if (std::strcmp(key, "from") == 0) {
        s->from.assign(value);
    } else if (std::strcmp(key, "to") == 0) {
        s->to.assign(value);
    } else if (std::strcmp(key, "chat_id") == 0) {
        s->chat_id.assign(value);
    } else if (std::strcmp(key, "password") == 0) {
        store_secret(value, &s->password);
    } else if (std::strcmp(key, "token") == 0) {
        store_secret(value, &s->token);
        if (!s->token.empty()) s->telegram_enabled = 1;
    } else if (std::strcmp(key, "iamalive") == 0) {
        // a later list without an at sign does not switch the heartbeat off
        s->iamalive.assign(value);
        if (std::strchr(s->iamalive.c_str(), '@') != nullptr) s->heartbeat_enabled = 1;
    } else if (std::strcmp(key, "telegram_api") == 0) {
        s->telegram_api.assign(value);
    } else if (std::strcmp(key, "sendtimeout") == 0) {
        s->sendtimeout = parse_config_number(value);
    }
}

const char* yes_no(std::int32_t flag) { return flag != 0 ? "yes" : "no"; }

}  // namespace

int load_notify_settings(NotifySettings* settings, int silent) {
    *settings = NotifySettings{};
    NotifySettings& s = *settings;
    std::FILE* file = std::fopen(kNotifySettingsFile, "rb");
    if (file == nullptr) {
        if (!silent) console_out("%s not found. Email / Telegram alerts disabled.\n", kNotifySettingsFile);
        s.telegram_api.assign(kDefaultTelegramApi);
        s.sendtimeout = kDefaultSendTimeout;
        return 0;
    }
    // a switched-off line is ignored whatever its key
    for_each_config_item(file, [&s](const char* key, const char* value, int disabled) {
        if (disabled == 0) apply_line(&s, key, value);
    });
    std::fclose(file);

    if (s.from.empty()) s.from.assign(s.email.c_str());
    if (s.telegram_api.empty()) s.telegram_api.assign(kDefaultTelegramApi);
    if (s.sendtimeout <= 0) s.sendtimeout = kDefaultSendTimeout;

    // on every load, so that a secret typed in plain is scrambled at once
    if (!s.password.empty()) (void)rewrite_secret_line("password", s.password.c_str());
    if (!s.token.empty() && s.token.length() <= kMaxScrambledSecret) {
        (void)rewrite_secret_line("token", s.token.c_str());
    }

    s.email_enabled = !s.server.empty() && !s.email.empty() && !s.password.empty() && !s.to.empty() ? 1 : 0;
    if (s.token.empty() || s.chat_id.empty()) s.telegram_enabled = 0;

    if (!silent) {
        console_out("Email enabled: %s\n", yes_no(s.email_enabled));
        console_out("Telegram enabled: %s\n", yes_no(s.telegram_enabled));
    }
    return s.email_enabled != 0 || s.telegram_enabled != 0 ? 1 : 0;
}
