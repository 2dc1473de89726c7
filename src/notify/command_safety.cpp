#include "notify/command_safety.h"

#include <cstring>

#include "config/config_line.h"
#include "text/ascii.h"
#include "text/fixed_text.h"

namespace {

constexpr const char* kCmdReason =
    "holds a double quote or a control character, which cmd.exe cannot pass on safely";
constexpr const char* kApiSchemeReason = "must begin with http:// or https://";

constexpr const char* kSmtpTlsReason = "must be \"try\" or left out";
constexpr const char* kAddressReason =
    "holds a control character, which would start a line of its own in the message";

bool has_control(const char* value, bool tab_passes) {
    for (const char* p = value; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if ((c < 0x20 && !(tab_passes && c == '\t')) || c == 0x7F) return true;
    }
    return false;
}

}  // namespace

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

const char* address_control_problem(const char* value, plat::Interpreter) {
    return value != nullptr && has_control(value, false) ? kAddressReason : nullptr;
}

const char* address_value_problem(const char* value, plat::Interpreter kind) {
    if (const char* reason = address_control_problem(value, kind)) return reason;
    return quoted_value_problem(value, kind);
}

const char* recipient_list_problem(const char* recipients, plat::Interpreter kind) {
    if (recipients == nullptr) return nullptr;
    // the list stands whole in the To header: no control character anywhere
    // but a tab, which is white space there too
    if (has_control(recipients, true)) return kAddressReason;
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
