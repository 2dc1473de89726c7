// Chat and incident webhooks: one HTTP POST through curl, its body in the
// form the receiver reads (Slack, Discord, Teams, ntfy, or a JSON object of
// the notice's figures). The address carries the receiver's secret: it
// reaches curl only in the configuration file, and the log names its host.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/notify_settings.h"
#include "notify/channels.h"
#include "text/fixed_text.h"

enum class WebhookFormat { slack, discord, teams, ntfy, json, unknown };

// A body this long is refused, never cut: a cut body would not parse.
constexpr std::size_t kWebhookBodyCap = 65536;
constexpr std::size_t kWebhookHostCap = 256;
constexpr std::size_t kWebhookTitleCap = 1024;
// Discord refuses a message of more than 2,000 characters.
constexpr std::size_t kDiscordContentLimit = 2000;
constexpr const char* kDiscordCutMarker = "\n[...]";
constexpr std::size_t kUtcTimeCap = 24;  // "2026-03-07T03:05:09Z"

// The format `name` names ("slack", "discord", "teams", "ntfy", "json",
// in any case); unknown for anything else.
WebhookFormat webhook_format_of(const char* name);

// Null when `url` can serve as the webhook address, else why not: it is
// "https://" (or "http://" to this machine: localhost, 127.0.0.0/8, [::1])
// and a host, an optional ":port" (1 to 65535), and optionally a path; it
// holds no blank, quote, control character or byte beyond ASCII.
const char* webhook_url_problem(const char* url);

// The host of a valid `url`, without user, port or path, for the log.
// False (and `out` empty) for an address webhook_url_problem refuses.
bool webhook_host(const char* url, TextBuffer out);

// The UTC time of the local `local` ("2026-03-07 04:05:09") whose zone lies
// `offset_minutes` east of UTC: "2026-03-07T03:05:09Z". False (and `out`
// empty) when `local` has not that form.
bool utc_of_local_time(const char* local, std::int32_t offset_minutes, TextBuffer out);

// The request body of `message` in `format` (the chat text for the chat
// formats, every figure for json), valid UTF-8 and, but for ntfy's plain
// text, valid JSON. Returns its length; 0 and an empty `out` when it does
// not fit whole.
std::size_t build_webhook_body(WebhookFormat format, const ChannelMessage& message,
                               std::int32_t utc_offset_minutes, TextBuffer out);

// The Content-Type of the body: "application/json", or
// "text/plain; charset=utf-8" for ntfy.
const char* webhook_content_type(WebhookFormat format);

// ntfy's Title header value: the subject, printable, in encoded words
// ("=?UTF-8?B?...?=") when it is not all ASCII.
void build_ntfy_title(const char* subject, TextBuffer out);

// ntfy's Priority: "high" for an alert, "default" for anything else.
const char* ntfy_priority(const ChannelMessage& message);

// Posts `message` to the configured webhook, its progress as console notes
// and its outcome in the log. True when curl ended with exit code 0.
bool send_webhook(const NotifySettings* settings, const ChannelMessage& message);

// The webhook row of the channel table.
extern const NotifyChannel kWebhookChannel;
