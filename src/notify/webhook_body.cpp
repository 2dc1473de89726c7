// The request bodies of the webhook formats.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "notify/webhook.h"
#include "text/json_text.h"
#include "text/text_cursor.h"
#include "text/utf8.h"

namespace {

// The chat text with at most `limit` characters: a longer one keeps its
// start and ends with the cut marker.
constexpr std::size_t kCutWorkCap = 4 * kDiscordContentLimit + 16;

void add_cut_text(TextCursor* out, const char* text, std::size_t limit) {
    const std::size_t size = std::strlen(text);
    if (utf8_prefix_of_chars(text, size, limit) == size) {
        json_add_string(out, text, size);
        return;
    }
    const std::size_t marker = std::strlen(kDiscordCutMarker);
    FixedText<kCutWorkCap> work;
    text_copy_n(work.out(), text, utf8_prefix_of_chars(text, size, limit - marker));
    work.append("%s", kDiscordCutMarker);
    json_add_text(out, work.c_str());
}

// One TextBlock per line of the text, an empty line too: a card shows a line
// feed inside a block as a blank, so the lines stand as blocks of their own
// and the card reads line for line as the chat text.
void add_card(TextCursor* out, const ChannelMessage& m) {
    out->add("{\"type\":\"message\",\"attachments\":[{\"contentType\":"
             "\"application/vnd.microsoft.card.adaptive\",\"contentUrl\":null,\"content\":{"
             "\"$schema\":\"http://adaptivecards.io/schemas/adaptive-card.json\","
             "\"type\":\"AdaptiveCard\",\"version\":\"1.4\",\"body\":[");
    out->add("{\"type\":\"TextBlock\",\"text\":");
    json_add_text(out, m.subject);
    out->add(",\"weight\":\"Bolder\",\"wrap\":true}");
    for (const char* line = m.short_text; *line != '\0';) {
        const std::size_t length = std::strcspn(line, "\n");
        out->add(",{\"type\":\"TextBlock\",\"text\":");
        json_add_string(out, line, length);
        out->add(",\"wrap\":true,\"spacing\":\"None\"}");
        line += line[length] == '\n' ? length + 1 : length;
    }
    out->add("]}}]}");
}

void add_text_or_null(TextCursor* out, const char* text) {
    if (text == nullptr) {
        out->add("null");
    } else {
        json_add_text(out, text);
    }
}

// A figure as the texts show it ("97.3", "85") is a JSON number as it stands.
bool json_number(const char* text) {
    if (text == nullptr || text[0] == '\0') return false;
    std::size_t digits = 0;
    std::size_t dots = 0;
    for (const char* p = text[0] == '-' ? text + 1 : text; *p != '\0'; ++p) {
        if (*p == '.') {
            if (digits == 0 || ++dots > 1) return false;
        } else if (*p >= '0' && *p <= '9') {
            ++digits;
        } else {
            return false;
        }
    }
    return digits > 0 && text[std::strlen(text) - 1] != '.';
}

void add_top(TextCursor* out, const TopList* list) {
    out->put('[');
    bool first = true;
    for (std::size_t i = 0; list != nullptr && i < kTopRows; ++i) {
        const TopEntry& e = list->rows[i];
        if (e.pid <= 0) continue;
        FixedText<sizeof e.name.buf> name;
        name.assign(e.name.c_str());
        utf8_make_printable(name.buf);
        out->add("%s{\"pid\":%ld,\"name\":", first ? "" : ",", static_cast<long>(e.pid));
        json_add_text(out, name.c_str());
        out->add(",\"value\":%.1f}", std::isfinite(e.value) ? e.value : 0.0);
        first = false;
    }
    out->put(']');
}

void add_facts(TextCursor* out, const ChannelMessage& m, std::int32_t offset) {
    const NoticeFacts none{};
    const NoticeFacts& f = m.facts != nullptr ? *m.facts : none;
    const bool monitor = f.monitor != nullptr;
    out->add("{\"host\":");
    add_text_or_null(out, f.host);
    out->add(",\"event\":");
    add_text_or_null(out, f.event);
    out->add(",\"monitor\":");
    add_text_or_null(out, f.monitor);
    out->add(",\"value\":%s", json_number(f.value) ? f.value : "null");
    if (monitor) {
        out->add(",\"threshold\":%ld,\"required_cycles\":%ld", static_cast<long>(f.threshold),
                 static_cast<long>(f.count));
    } else {
        out->add(",\"threshold\":null,\"required_cycles\":null");
    }
    out->add(",\"time_local\":");
    add_text_or_null(out, f.local_time);
    FixedText<kUtcTimeCap> utc;
    const bool has_utc = f.local_time != nullptr && utc_of_local_time(f.local_time, offset, utc.out());
    out->add(",\"time_utc\":");
    add_text_or_null(out, has_utc ? utc.c_str() : nullptr);
    out->add(",\"title\":");
    add_text_or_null(out, m.subject);
    out->add(",\"text\":");
    add_text_or_null(out, m.short_text);
    out->add(",\"cpu_top\":");
    add_top(out, f.cpu_top);
    out->add(",\"mem_top\":");
    add_top(out, f.mem_top);
    out->put('}');
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t days_from_civil(std::int64_t y, std::int64_t m, std::int64_t d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

bool utc_of_local_time(const char* local, std::int32_t offset_minutes, TextBuffer out) {
    text_copy(out, "");
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = '\0';
    if (local == nullptr ||
        std::sscanf(local, "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6 ||
        mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || h < 0 || mi < 0 ||
        s < 0) {
        return false;
    }
    std::int64_t t = days_from_civil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
    t -= std::int64_t{offset_minutes} * 60;
    std::int64_t days = (t >= 0 ? t : t - 86399) / 86400;
    const std::int64_t secs = t - days * 86400;
    // the civil date of a day count (the inverse of days_from_civil)
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t doe = days - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    text_format(out, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", static_cast<long long>(year),
                static_cast<long long>(month), static_cast<long long>(day),
                static_cast<long long>(secs / 3600), static_cast<long long>(secs / 60 % 60),
                static_cast<long long>(secs % 60));
    return true;
}

std::size_t build_webhook_body(WebhookFormat format, const ChannelMessage& message,
                               std::int32_t utc_offset_minutes, TextBuffer out) {
    TextCursor body = TextCursor::fresh(out, TextCursor::Fit::whole);
    const char* text = message.short_text != nullptr ? message.short_text : "";
    switch (format) {
        case WebhookFormat::slack:
            body.add("{\"text\":");
            json_add_text(&body, text);
            body.put('}');
            break;
        case WebhookFormat::discord:
            body.add("{\"content\":");
            add_cut_text(&body, text, kDiscordContentLimit);
            body.put('}');
            break;
        case WebhookFormat::teams: {
            ChannelMessage m = message;
            m.short_text = text;
            add_card(&body, m);
            break;
        }
        case WebhookFormat::json:
            add_facts(&body, message, utc_offset_minutes);
            break;
        case WebhookFormat::ntfy: {
            // the text as it is, valid UTF-8: ntfy takes any other body for a file
            const std::size_t size = std::strlen(text);
            for (std::size_t at = 0; at < size;) {
                const std::size_t length = utf8_char_length(text + at, size - at);
                if (length == 0) {
                    body.put('?');
                    ++at;
                    continue;
                }
                for (std::size_t i = 0; i < length; ++i) body.put(text[at + i]);
                at += length;
            }
            break;
        }
        case WebhookFormat::unknown:
            return 0;
    }
    return body.finish();
}
