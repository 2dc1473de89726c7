#include "notify/command_safety.h"

#include <cstring>

#include "config/config_line.h"
#include "text/fixed_text.h"

namespace {

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

constexpr const char* kServerReason =
    "must be smtp://host[:port] or smtps://host[:port] and nothing else";
constexpr const char* kSmtpTlsReason = "must be \"try\" or left out";

bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

bool is_host_char(char c) {
    return is_ascii_alnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool is_ipv6_char(char c) {
    return is_ascii_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
           c == '.';
}

// The host part of a server address: after the scheme, up to the port or
// the final slash. Null when the scheme is neither smtp:// nor smtps://.
const char* server_host(const char* server, std::size_t* length) {
    *length = 0;
    const char* host = nullptr;
    if (starts_with_ignoring_case(server, "smtp://")) host = server + 7;
    if (starts_with_ignoring_case(server, "smtps://")) host = server + 8;
    if (host == nullptr) return nullptr;
    const char* end = host;
    if (*end == '[') {
        ++end;
        while (is_ipv6_char(*end)) ++end;
        if (*end != ']' || end == host + 1) return nullptr;
        ++end;
    } else {
        while (is_host_char(*end)) ++end;
        if (end == host) return nullptr;
    }
    *length = static_cast<std::size_t>(end - host);
    return host;
}

bool equals_ignoring_case(const char* text, std::size_t length, const char* word) {
    return std::strlen(word) == length && starts_with_ignoring_case(text, word);
}

// An IPv4 address of 127.0.0.0/8 in dotted decimal.
bool is_loopback_ipv4(const char* host, std::size_t length) {
    int parts = 0;
    int first = -1;
    std::size_t i = 0;
    while (i < length) {
        int value = 0;
        std::size_t digits = 0;
        while (i < length && is_ascii_digit(host[i]) && digits < 4) {
            value = value * 10 + (host[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255) return false;
        if (first < 0) first = value;
        ++parts;
        if (i == length) break;
        if (host[i] != '.') return false;
        ++i;
        if (i == length) return false;
    }
    return parts == 4 && first == 127;
}

}  // namespace

const char* server_value_problem(const char* server) {
    if (server == nullptr || server[0] == '\0') return nullptr;
    std::size_t length = 0;
    const char* host = server_host(server, &length);
    if (host == nullptr) return kServerReason;
    const char* p = host + length;
    if (*p == ':') {
        ++p;
        long port = 0;
        std::size_t digits = 0;
        while (is_ascii_digit(*p) && digits < 6) {
            port = port * 10 + (*p - '0');
            ++p;
            ++digits;
        }
        if (digits == 0 || port < 1 || port > 65535) return kServerReason;
    }
    if (*p == '/') ++p;
    return *p == '\0' ? nullptr : kServerReason;
}

bool server_is_loopback(const char* server) {
    if (server == nullptr || server_value_problem(server) != nullptr) return false;
    std::size_t length = 0;
    const char* host = server_host(server, &length);
    if (host == nullptr) return false;
    return equals_ignoring_case(host, length, "localhost") || equals_ignoring_case(host, length, "[::1]") ||
           is_loopback_ipv4(host, length);
}

const char* smtptls_problem(const char* value) {
    if (value == nullptr || value[0] == '\0' || std::strcmp(value, kSmtpTlsTry) == 0) return nullptr;
    return kSmtpTlsReason;
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

const char* telegram_api_problem(const char* base) {
    if (base == nullptr) return nullptr;
    if (!starts_with_ignoring_case(base, "http://") && !starts_with_ignoring_case(base, "https://")) {
        return kApiSchemeReason;
    }
    return nullptr;
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
