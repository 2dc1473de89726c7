// Numeric host addresses read as curl reads them in a URL.
#pragma once

#include <cstddef>
#include <cstdint>

// An IPv4 host of one to four numbers, each decimal, octal after a leading
// 0 or hex after 0x (curl's URL parser reads them with strtoul, base 0);
// every number but the last is one byte and the last fills the bits the
// others leave ("127.1" is 127.0.0.1, "2130706433" too). False for anything
// else ("127.0.0.09", "999.1.1.1", "0x", a final dot): curl would look such
// a host up as a name.
bool parse_curl_ipv4(const char* text, std::size_t length, std::uint32_t* address);

// An IPv6 address (without brackets) as inet_pton reads it: eight groups of
// one to four hex digits, one "::" for a run of zero groups, a strict
// dotted IPv4 address as the last two groups; no zone. `bytes` takes 16.
bool parse_ipv6(const char* text, std::size_t length, std::uint8_t* bytes);
