#include "config/value_rules.h"

#include <cstring>

#include "config/config_line.h"
#include "text/fixed_text.h"

namespace {

constexpr const char* kServerReason =
    "holds a character other than letters, digits, blanks and : / . - _ @ [ ] + = , ~";
constexpr const char* kCmdReason =
    "holds a double quote or a control character, which cmd.exe cannot pass on safely";
constexpr const char* kApiSchemeReason = "must begin with http:// or https://";

bool is_ascii_alnum(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

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
        while (is_config_space(*piece)) ++piece;
        if (*piece == '\0') continue;
        // trailing white space is overwritten with terminators, end backwards
        char* end = piece + std::strlen(piece);
        while (end > piece && is_config_space(end[-1])) *--end = '\0';
        *cursor = p;
        return piece;
    }
}
