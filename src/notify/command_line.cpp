#include "notify/command_line.h"

#include "config/config_line.h"
#include "text/text_cursor.h"

bool append_quoted_argument(TextBuffer out, const char* value, plat::Interpreter kind) {
    if (quoted_value_problem(value, kind) != nullptr) return false;
    const char* v = value != nullptr ? value : "";
    TextCursor w = TextCursor::at_end(out);
    w.put('"');
    if (kind == plat::Interpreter::posix_sh) {
        for (; *v != '\0'; ++v) {
            if (*v == '\\' || *v == '"' || *v == '$' || *v == '`') w.put('\\');
            w.put(*v);
        }
    } else {
        std::size_t backslashes = 0;  // the run of backslashes just written
        for (; *v != '\0'; ++v) {
            if (*v == '\\') {
                ++backslashes;
                w.put('\\');
                continue;
            }
            if (*v == '%') {
                // a quote follows the run: doubled, the run stays backslashes
                w.repeat('\\', backslashes);
                w.put('"');
                w.put('%');
                w.put('"');
            } else {
                w.put(*v);
            }
            backslashes = 0;
        }
        w.repeat('\\', backslashes);  // the closing quote follows
    }
    w.put('"');
    return true;
}

SettingProblem cut_value_problem(const NotifySettings& settings, const NotifyKey* keys,
                                 std::size_t count) {
    const NotifyKey key = first_too_long(settings, keys, count);
    if (key == NotifyKey::none) return {nullptr, nullptr};
    return {notify_key_name(key), longer_than_text(notify_value_limit(key))};
}

SettingProblem mail_account_problem(const NotifySettings& settings, plat::Interpreter kind) {
    static constexpr NotifyKey kMailKeys[] = {NotifyKey::server, NotifyKey::email, NotifyKey::password,
                                              NotifyKey::from,   NotifyKey::to,    NotifyKey::iamalive};
    const SettingProblem cut = cut_value_problem(settings, kMailKeys, sizeof kMailKeys / sizeof kMailKeys[0]);
    if (cut.found()) return cut;
    if (const char* reason = server_value_problem(settings.server.c_str())) {
        return {"server", reason};
    }
    // the login goes to curl in its configuration file, but it is an address
    if (const char* reason = address_control_problem(settings.email.c_str(), kind)) {
        return {"email", reason};
    }
    if (const char* reason = address_value_problem(settings.from.c_str(), kind)) {
        return {"from", reason};
    }
    if (const char* reason = smtptls_problem(settings.smtptls.c_str())) return {"smtptls", reason};
    return {nullptr, nullptr};
}

std::uint32_t send_timeout_of(const NotifySettings& settings) {
    const std::int32_t seconds =
        settings.sendtimeout > 0 ? settings.sendtimeout : kDefaultSendTimeout;
    return static_cast<std::uint32_t>(seconds);
}
