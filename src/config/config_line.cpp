#include "config/config_line.h"

#include <cstring>

bool is_config_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

namespace {

// Copies [begin, end) trimmed at both ends, at most `limit` characters of it
// taken before trimming.
void take_trimmed(const char* begin, const char* end, std::size_t limit, TextBuffer out) {
    if (static_cast<std::size_t>(end - begin) > limit) end = begin + limit;
    while (begin < end && is_config_space(*begin)) ++begin;
    while (end > begin && is_config_space(end[-1])) --end;
    text_copy_n(out, begin, static_cast<std::size_t>(end - begin));
}

}  // namespace

bool parse_config_line(const char* line, ConfigKey* key_out, ConfigValue* value_out, bool* disabled_out) {
    if (key_out != nullptr) key_out->clear();
    if (value_out != nullptr) value_out->clear();
    if (disabled_out != nullptr) *disabled_out = false;
    if (line == nullptr || line[0] == '\0' || key_out == nullptr || value_out == nullptr) return false;

    const char* p = line;
    while (*p != '\0' && is_config_space(*p)) ++p;
    if (*p == '\0' || *p == '#') return false;

    if (*p == '*') {
        // exactly one asterisk is a marker; what follows is the item
        if (disabled_out != nullptr) *disabled_out = true;
        ++p;
        while (*p != '\0' && is_config_space(*p)) ++p;
        if (*p == '\0') return false;
    }

    // the first colon anywhere (value included) separates; an equals sign
    // only when the line holds no colon at all
    const char* separator = std::strchr(p, ':');
    if (separator == nullptr) separator = std::strchr(p, '=');
    if (separator == nullptr || separator == p) return false;

    take_trimmed(p, separator, kConfigKeyCap - 1, key_out->out());
    if (key_out->empty()) return false;

    const char* open = std::strchr(separator + 1, '"');
    if (open == nullptr) return false;
    const char* close = std::strchr(open + 1, '"');
    if (close == nullptr) return false;

    take_trimmed(open + 1, close, kConfigValueCap - 1, value_out->out());
    return true;
}

std::int32_t parse_config_number(const char* value) {
    if (value == nullptr) return 0;
    const char* p = value;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // accumulate toward the sign's limit and stop there
    const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
    std::int64_t magnitude = 0;
    while (*p >= '0' && *p <= '9') {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude >= limit) {
            magnitude = limit;
            break;
        }
        ++p;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

NumberForm config_number_form(const char* value) {
    if (value == nullptr) return NumberForm::not_a_number;
    const char* digits = value + ((*value == '+' || *value == '-') ? 1 : 0);
    if (*digits < '0' || *digits > '9') return NumberForm::not_a_number;
    const char* end = digits;
    while (*end >= '0' && *end <= '9') ++end;
    if (*end != '\0') return NumberForm::not_a_number;
    // a saturated reading differs from the value only in its last digits
    FixedText<16> again;
    again.format("%ld", static_cast<long>(parse_config_number(value)));
    while (*digits == '0' && digits[1] != '\0') ++digits;
    const char* shown = again.c_str() + (again.c_str()[0] == '-' ? 1 : 0);
    return std::strcmp(shown, digits) == 0 ? NumberForm::number : NumberForm::beyond_range;
}

char* trim_config_space(char* text) {
    while (*text != '\0' && is_config_space(*text)) ++text;
    std::size_t n = std::strlen(text);
    while (n > 0 && is_config_space(text[n - 1])) text[--n] = '\0';
    return text;
}

const char* longer_than_text(std::size_t limit) {
    struct LimitText {
        std::size_t limit;
        const char* text;
    };
    static constexpr LimitText kTexts[] = {
        {15, "longer than 15 characters"},    {99, "longer than 99 characters"},
        {127, "longer than 127 characters"},
        {199, "longer than 199 characters"},  {255, "longer than 255 characters"},
        {799, "longer than 799 characters"},  {1023, "longer than 1023 characters"},
    };
    for (const LimitText& t : kTexts) {
        if (t.limit == limit) return t.text;
    }
    return "longer than its field";
}
