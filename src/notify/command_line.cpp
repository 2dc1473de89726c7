#include "notify/command_line.h"

#include <cstring>

namespace {

// Writes into a text from its current end, one byte at a time, stopping
// silently where the buffer is full.
class TextWriter {
public:
    explicit TextWriter(TextBuffer out) : out_(out), length_(0) {
        if (out_.data == nullptr || out_.cap == 0) return;
        length_ = strnlen(out_.data, out_.cap - 1);
        out_.data[length_] = '\0';
    }
    void put(char c) {
        if (out_.data == nullptr || length_ + 1 >= out_.cap) return;
        out_.data[length_++] = c;
        out_.data[length_] = '\0';
    }
    void repeat(char c, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) put(c);
    }

private:
    TextBuffer out_;
    std::size_t length_;
};

}  // namespace

bool append_quoted_argument(TextBuffer out, const char* value, plat::Interpreter kind) {
    if (quoted_value_problem(value, kind) != nullptr) return false;
    const char* v = value != nullptr ? value : "";
    TextWriter w(out);
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

SettingProblem unsafe_setting(const NotifySettings& settings, plat::Interpreter kind) {
    const SettingProblem account = mail_account_problem(settings, kind);
    if (account.found()) return account;
    if (const char* reason = recipient_list_problem(settings.to.c_str(), kind)) return {"to", reason};
    if (const char* reason = recipient_list_problem(settings.iamalive.c_str(), kind)) {
        return {"iamalive", reason};
    }
    if (!settings.telegram_api.empty()) {
        if (const char* reason = telegram_api_problem(settings.telegram_api.c_str())) {
            return {"telegram_api", reason};
        }
    }
    return {nullptr, nullptr};
}

std::uint32_t send_timeout_of(const NotifySettings& settings) {
    const std::int32_t seconds =
        settings.sendtimeout > 0 ? settings.sendtimeout : kDefaultSendTimeout;
    return static_cast<std::uint32_t>(seconds);
}
