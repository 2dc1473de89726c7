// The webhook address and format settings: their rules and the host the
// log names.
#include <cstring>

#include "notify/webhook.h"
#include "text/ascii.h"

namespace {

constexpr const char* kCharacterReason =
    "must not hold a blank, a quote or a character beyond ASCII (percent-encode it)";
constexpr const char* kFormReason = "must be https:// and a host, an optional :port and a path";
constexpr const char* kPlainReason =
    "must be https:// for a host that is not this machine (http:// only to localhost)";

struct FormatName {
    const char* name;
    WebhookFormat format;
};
constexpr FormatName kFormatNames[] = {
    {"slack", WebhookFormat::slack}, {"discord", WebhookFormat::discord},
    {"teams", WebhookFormat::teams}, {"ntfy", WebhookFormat::ntfy},
    {"json", WebhookFormat::json},
};

bool same_ignoring_case(const char* a, std::size_t length, const char* b) {
    return std::strlen(b) == length && starts_with_ignoring_case(a, b);
}

bool host_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '-' || c == '_';
}

// The parts of an address: its host and whether it is plain http.
struct UrlParts {
    const char* reason;  // null when the address is valid
    bool plain;
    const char* host;
    std::size_t host_length;
};

UrlParts split_url(const char* url) {
    UrlParts parts{kFormReason, false, nullptr, 0};
    if (url == nullptr) return parts;
    for (const char* p = url; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c <= 0x20 || c >= 0x7F || c == '"') return {kCharacterReason, false, nullptr, 0};
    }
    const char* rest = nullptr;
    if (starts_with_ignoring_case(url, "https://")) {
        rest = url + 8;
    } else if (starts_with_ignoring_case(url, "http://")) {
        rest = url + 7;
        parts.plain = true;
    } else {
        return parts;
    }
    const std::size_t authority = std::strcspn(rest, "/?#");
    // the host follows the last "@" of the authority (a user and password before it)
    const char* host = rest;
    for (std::size_t i = 0; i < authority; ++i) {
        if (rest[i] == '@') host = rest + i + 1;
    }
    const char* end = rest + authority;
    const char* h = host;
    if (*h == '[') {
        while (h < end && *h != ']') ++h;
        if (h == end || h == host + 1) return parts;
        ++h;
    } else {
        while (h < end && host_char(*h)) ++h;
        if (h == host) return parts;
    }
    if (h < end) {
        if (*h != ':' || h + 1 == end || end - (h + 1) > 5) return parts;
        unsigned long port = 0;
        for (const char* d = h + 1; d < end; ++d) {
            if (*d < '0' || *d > '9') return parts;
            port = port * 10 + static_cast<unsigned long>(*d - '0');
        }
        if (port == 0 || port > 65535) return parts;
    }
    parts.reason = nullptr;
    parts.host = host;
    parts.host_length = static_cast<std::size_t>(h - host);
    return parts;
}

bool loopback_host(const char* host, std::size_t length) {
    if (same_ignoring_case(host, length, "localhost") || same_ignoring_case(host, length, "[::1]")) {
        return true;
    }
    // 127.0.0.0/8, written as four decimal parts
    if (length < 7 || std::strncmp(host, "127.", 4) != 0) return false;
    int dots = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (host[i] == '.') {
            ++dots;
        } else if (host[i] < '0' || host[i] > '9') {
            return false;
        }
    }
    return dots == 3;
}

}  // namespace

WebhookFormat webhook_format_of(const char* name) {
    for (const FormatName& f : kFormatNames) {
        if (name != nullptr && same_ignoring_case(name, std::strlen(name), f.name)) return f.format;
    }
    return WebhookFormat::unknown;
}

const char* webhook_url_problem(const char* url) {
    const UrlParts parts = split_url(url);
    if (parts.reason != nullptr) return parts.reason;
    if (parts.plain && !loopback_host(parts.host, parts.host_length)) return kPlainReason;
    return nullptr;
}

bool webhook_host(const char* url, TextBuffer out) {
    text_copy(out, "");
    const UrlParts parts = split_url(url);
    if (parts.reason != nullptr) return false;
    text_copy_n(out, parts.host, parts.host_length);
    return true;
}

