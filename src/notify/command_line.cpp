#include "notify/command_line.h"

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

SettingProblem mail_account_problem(const NotifySettings& settings, plat::Interpreter kind) {
    if (const char* reason = server_value_problem(settings.server.c_str())) {
        return {"server", reason};
    }
    // the login goes to curl in its configuration file: any bytes pass there
    if (const char* reason = quoted_value_problem(settings.from.c_str(), kind)) {
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
