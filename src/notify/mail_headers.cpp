#include "notify/mail_headers.h"

#include <cstring>

namespace {

constexpr const char* kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Bytes of the subject per encoded word: 45 bytes are 60 base64 digits, and
// with "=?UTF-8?B?" and "?=" the word holds 72 characters (75 at most).
constexpr std::size_t kEncodedWordBytes = 45;

// Day of the week of a Gregorian date, 0 for Sunday.
int weekday_of(int year, int month, int day) {
    static constexpr int kMonthShift[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    if (month < 3) year -= 1;
    return (year + year / 4 - year / 100 + year / 400 + kMonthShift[month - 1] + day) % 7;
}

bool is_domain_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
}

// Copies `count` bytes of `text` to `out` when they form a usable domain:
// letters, digits, '-' and '.', neither starting nor ending with a dot.
bool copy_domain(const char* text, std::size_t count, TextBuffer out) {
    if (count == 0 || text[0] == '.' || text[count - 1] == '.') return false;
    for (std::size_t i = 0; i < count; ++i) {
        if (!is_domain_char(text[i])) return false;
    }
    text_copy_n(out, text, count);
    return true;
}

// The sender's domain: after the last '@' of `from`, up to a closing '>'.
bool sender_domain(const char* from, TextBuffer out) {
    if (from == nullptr) return false;
    const char* at = std::strrchr(from, '@');
    if (at == nullptr) return false;
    const char* start = at + 1;
    std::size_t count = std::strcspn(start, ">");
    // "Name <a@b>" ends at the '>'; a bare address at its end
    if (start[count] == '>' && start[count + 1] != '\0') return false;
    return copy_domain(start, count, out);
}

bool needs_encoding(const char* text) {
    for (const char* p = text; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 || c >= 0x7F) return true;
    }
    return false;
}

// Appends the base64 digits of `count` bytes at `bytes`.
void append_base64(TextBuffer out, const unsigned char* bytes, std::size_t count) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < count; i += 3) {
        const std::size_t left = count - i;
        const unsigned int group = (static_cast<unsigned int>(bytes[i]) << 16) |
                                   (left > 1 ? static_cast<unsigned int>(bytes[i + 1]) << 8 : 0u) |
                                   (left > 2 ? static_cast<unsigned int>(bytes[i + 2]) : 0u);
        text_append(out, "%c%c%c%c", kDigits[(group >> 18) & 63], kDigits[(group >> 12) & 63],
                    left > 1 ? kDigits[(group >> 6) & 63] : '=', left > 2 ? kDigits[group & 63] : '=');
    }
}

}  // namespace

void format_mail_date(const plat::LocalTime& at, std::int32_t utc_offset_minutes, TextBuffer out) {
    // a clock that could not be read gives all zeros: the month stays in range
    const int month = at.month >= 1 && at.month <= 12 ? at.month : 1;
    const int day = at.day >= 1 && at.day <= 31 ? at.day : 1;
    const char sign = utc_offset_minutes < 0 ? '-' : '+';
    const std::int32_t offset = utc_offset_minutes < 0 ? -utc_offset_minutes : utc_offset_minutes;
    text_format(out, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d",
                kWeekdays[weekday_of(at.year, month, day)], day, kMonths[month - 1], at.year,
                at.hour, at.minute, at.second, sign, static_cast<int>(offset / 60),
                static_cast<int>(offset % 60));
}

void format_message_id(const plat::LocalTime& at, std::uint32_t pid, std::uint32_t counter,
                       const char* from, const char* computer, TextBuffer out) {
    FixedText<256> domain;
    if (!sender_domain(from, domain.out()) &&
        (computer == nullptr || !copy_domain(computer, std::strlen(computer), domain.out()))) {
        domain.assign("localhost");
    }
    text_format(out, "<%04d%02d%02d%02d%02d%02d.%lu.%lu@%s>", at.year, at.month, at.day, at.hour,
                at.minute, at.second, static_cast<unsigned long>(pid),
                static_cast<unsigned long>(counter), domain.c_str());
}

void encode_header_text(const char* text, TextBuffer out) {
    text_copy(out, "");
    if (text == nullptr) return;
    if (!needs_encoding(text)) {
        text_copy(out, text);
        return;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const std::size_t length = std::strlen(text);
    std::size_t start = 0;
    while (start < length) {
        std::size_t count = length - start < kEncodedWordBytes ? length - start : kEncodedWordBytes;
        // a UTF-8 character stays whole: step back over continuation bytes
        if (start + count < length) {
            std::size_t cut = count;
            while (cut > count - 3 && (bytes[start + cut] & 0xC0) == 0x80) --cut;
            if ((bytes[start + cut] & 0xC0) != 0x80) count = cut;
        }
        // a word that no longer fits is left out whole, never cut
        const std::size_t word = (start > 0 ? 2 : 0) + 12 + (count + 2) / 3 * 4;
        if (std::strlen(out.data) + word >= out.cap) return;
        if (start > 0) text_append(out, "\n ");
        text_append(out, "=?UTF-8?B?");
        append_base64(out, bytes + start, count);
        text_append(out, "?=");
        start += count;
    }
}
