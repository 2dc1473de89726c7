#include "notify/command_line.h"

#include <cstring>

namespace {

constexpr const char* kServerReason =
    "holds a character other than letters, digits, blanks and : / . - _ @ [ ] + = , ~";
constexpr const char* kCmdReason =
    "holds a double quote or a control character, which cmd.exe cannot pass on safely";
constexpr const char* kApiSchemeReason = "must begin with http:// or https://";

bool is_ascii_alnum(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

bool is_ascii_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

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

bool starts_with_ignoring_case(const char* text, const char* prefix) {
    for (; *prefix != '\0'; ++text, ++prefix) {
        char c = *text;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *prefix) return false;
    }
    return true;
}

}  // namespace

const char* server_value_problem(const char* server) {
    if (server == nullptr) return nullptr;
    for (const char* p = server; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (is_ascii_alnum(c) || std::strchr(" :/.-_@[]+=,~", c) != nullptr) continue;
        return kServerReason;
    }
    return nullptr;
}

const char* quoted_value_problem(const char* value, plat::Interpreter kind) {
    // /bin/sh passes every byte once \ " $ ` are escaped
    if (value == nullptr || kind != plat::Interpreter::cmd) return nullptr;
    for (const char* p = value; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c < 0x20) return kCmdReason;
    }
    return nullptr;
}

const char* recipient_list_problem(const char* recipients, plat::Interpreter kind) {
    if (recipients == nullptr) return nullptr;
    FixedText<kRecipientWorkCap> work;
    work.assign(recipients);
    char* cursor = work.buf;
    while (const char* address = next_recipient(&cursor)) {
        if (const char* reason = quoted_value_problem(address, kind)) return reason;
    }
    return nullptr;
}

const char* telegram_api_problem(const char* base, plat::Interpreter kind) {
    if (base == nullptr) return nullptr;
    if (!starts_with_ignoring_case(base, "http://") && !starts_with_ignoring_case(base, "https://")) {
        return kApiSchemeReason;
    }
    return quoted_value_problem(base, kind);
}

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
    const struct {
        const char* key;
        const char* value;
    } quoted[] = {
        {"from", settings.from.c_str()},
        {"email", settings.email.c_str()},
        {"password", settings.password.c_str()},
    };
    for (const auto& item : quoted) {
        if (const char* reason = quoted_value_problem(item.value, kind)) return {item.key, reason};
    }
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
        if (const char* reason = telegram_api_problem(settings.telegram_api.c_str(), kind)) {
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

char* next_recipient(char** cursor) {
    char* p = *cursor;
    for (;;) {
        // a run of commas is one separator; commas at either end yield nothing
        while (*p == ',') ++p;
        if (*p == '\0') {
            *cursor = p;
            return nullptr;
        }
        char* piece = p;
        while (*p != '\0' && *p != ',') ++p;
        if (*p == ',') *p++ = '\0';
        while (is_ascii_space(*piece)) ++piece;
        if (*piece == '\0') continue;
        // trailing white space is overwritten with terminators, end backwards
        char* end = piece + std::strlen(piece);
        while (end > piece && is_ascii_space(end[-1])) *--end = '\0';
        *cursor = p;
        return piece;
    }
}
