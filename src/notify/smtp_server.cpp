// The SMTP server address: its form, and whether curl reaches its host on
// this machine. Hosts are read as curl's URL parser reads them.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "notify/command_safety.h"
#include "notify/ip_address.h"
#include "text/ascii.h"

namespace {

constexpr const char* kServerReason =
    "must be smtp://host[:port] or smtps://host[:port] and nothing else";
constexpr std::size_t kHostNameMax = 253;
constexpr std::size_t kLabelMax = 63;

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool equals_ignoring_case(const char* text, std::size_t length, const char* word) {
    if (std::strlen(word) != length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (ascii_lower(text[i]) != word[i]) return false;
    }
    return true;
}

struct Host {
    const char* text;
    std::size_t length;
};

// The host of `server` after "smtp://" or "smtps://": in brackets, or up to
// a colon, a slash or the end. False without one of the two schemes.
bool server_host(const char* server, Host* host) {
    *host = Host{nullptr, 0};
    const char* p = nullptr;
    if (equals_ignoring_case(server, std::strlen(server) < 7 ? 0 : 7, "smtp://")) p = server + 7;
    if (equals_ignoring_case(server, std::strlen(server) < 8 ? 0 : 8, "smtps://")) p = server + 8;
    if (p == nullptr) return false;
    const char* end = p;
    if (*end == '[') {
        while (*end != '\0' && *end != ']') ++end;
        if (*end == ']') ++end;
    } else {
        while (*end != '\0' && *end != ':' && *end != '/') ++end;
    }
    *host = Host{p, static_cast<std::size_t>(end - p)};
    return true;
}

// Whether the last label (before one final dot) is a number: such a host
// is an IPv4 address or nothing curl connects to without a resolver.
bool ends_in_number(const char* text, std::size_t length) {
    if (length > 0 && text[length - 1] == '.') --length;
    std::size_t start = length;
    while (start > 0 && text[start - 1] != '.') --start;
    if (start == length) return false;
    const char* label = text + start;
    const std::size_t size = length - start;
    std::size_t i = 0;
    if (size >= 2 && label[0] == '0' && ascii_lower(label[1]) == 'x') {
        for (i = 2; i < size && hex_digit(label[i]) >= 0; ++i) {}
        return i == size;
    }
    for (; i < size && ascii_digit(label[i]); ++i) {}
    return i == size;
}

bool is_dns_name(const char* text, std::size_t length) {
    if (length > 0 && text[length - 1] == '.') --length;
    if (length == 0 || length > kHostNameMax) return false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != '.') {
            const char c = text[i];
            if (!is_letter(c) && !ascii_digit(c) && c != '-' && c != '_') return false;
            continue;
        }
        const std::size_t size = i - start;
        if (size == 0 || size > kLabelMax || text[start] == '-' || text[i - 1] == '-') return false;
        start = i + 1;
    }
    return true;
}

bool is_bracketed(const Host& host) {
    return host.length >= 2 && host.text[0] == '[' && host.text[host.length - 1] == ']';
}

bool host_valid(const Host& host) {
    if (host.length == 0) return false;
    if (host.text[0] == '[') {
        std::uint8_t bytes[16];
        return is_bracketed(host) && parse_ipv6(host.text + 1, host.length - 2, bytes);
    }
    if (ends_in_number(host.text, host.length)) {
        std::uint32_t address = 0;
        return parse_curl_ipv4(host.text, host.length, &address);
    }
    return is_dns_name(host.text, host.length);
}

}  // namespace

const char* server_value_problem(const char* server) {
    if (server == nullptr || server[0] == '\0') return nullptr;
    Host host{};
    if (!server_host(server, &host) || !host_valid(host)) return kServerReason;
    const char* p = host.text + host.length;
    if (*p == ':') {
        ++p;
        long port = 0;
        std::size_t digits = 0;
        while (ascii_digit(*p) && digits < 6) {
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
    Host host{};
    if (!server_host(server, &host)) return false;
    if (equals_ignoring_case(host.text, host.length, "localhost")) return true;
    if (is_bracketed(host)) {
        std::uint8_t b[16];
        if (!parse_ipv6(host.text + 1, host.length - 2, b)) return false;
        static constexpr std::uint8_t kZeros[10] = {};
        if (std::memcmp(b, kZeros, 10) != 0) return false;
        const bool one = b[10] == 0 && b[11] == 0 && b[12] == 0 && b[13] == 0 && b[14] == 0 && b[15] == 1;
        const bool mapped = b[10] == 0xFF && b[11] == 0xFF && b[12] == 127;
        return one || mapped;
    }
    std::uint32_t address = 0;
    return ends_in_number(host.text, host.length) && parse_curl_ipv4(host.text, host.length, &address) &&
           (address >> 24) == 127;
}
