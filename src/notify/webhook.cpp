#include "notify/webhook.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "config/config_line.h"
#include "notify/command_line.h"
#include "notify/curl_send.h"
#include "notify/mail_headers.h"
#include "notify/shell_command.h"
#include "output/console.h"
#include "output/event_log.h"
#include "platform/command.h"
#include "platform/time.h"
#include "platform/transient_files.h"
#include "text/utf8.h"

namespace {

constexpr const char* kFormatReason = "must be one of slack, discord, teams, ntfy, json";

}  // namespace

namespace {

bool write_body_file(const char* path, const void* context) {
    const char* body = static_cast<const char*>(context);
    std::FILE* file = plat::create_transient_file(path);
    if (file != nullptr) std::fwrite(body, 1, std::strlen(body), file);
    return finish_transient_file(file, path);
}

}  // namespace

const char* webhook_content_type(WebhookFormat format) {
    return format == WebhookFormat::ntfy ? "text/plain; charset=utf-8" : "application/json";
}

void build_ntfy_title(const char* subject, TextBuffer out) {
    FixedText<kWebhookTitleCap / 2> printable;
    printable.assign(subject);
    utf8_make_printable(printable.buf);
    encode_header_text(printable.c_str(), out);
    // the encoded words stand on one line, a blank between them
    char* write = out.data;
    for (const char* read = out.data; *read != '\0'; ++read) {
        if (*read != '\n') *write++ = *read;
    }
    *write = '\0';
}

const char* ntfy_priority(const ChannelMessage& message) {
    const bool alert = message.facts != nullptr && message.facts->event != nullptr &&
                       std::strcmp(message.facts->event, "alert") == 0;
    return alert ? "high" : "default";
}

bool send_webhook(const NotifySettings* settings, const ChannelMessage& message) {
    if (settings == nullptr || !settings->webhook_enabled || message.short_text == nullptr ||
        message.short_text[0] == '\0') {
        return false;
    }
    const char* url = settings->webhook.c_str();
    FixedText<kWebhookHostCap> host;
    // an address that is no address is not logged: it may be all secret
    if (!webhook_host(url, host.out())) host.assign("(no host)");
    console_note("Sending webhook alert ...\n");
    log_event("Send webhook to %s\n", host.c_str());
    static constexpr NotifyKey kWebhookKeys[] = {NotifyKey::webhook, NotifyKey::webhookformat};
    const NotifyKey cut = first_too_long(*settings, kWebhookKeys, 2);
    if (cut != NotifyKey::none) {
        report_not_sent("Webhook", notify_key_name(cut), longer_than_text(notify_value_limit(cut)));
        return false;
    }
    if (const char* reason = webhook_url_problem(url)) {
        report_not_sent("Webhook", "webhook", reason);
        return false;
    }
    const WebhookFormat format = webhook_format_of(settings->webhookformat.c_str());
    if (format == WebhookFormat::unknown) {
        report_not_sent("Webhook", "webhookformat", kFormatReason);
        return false;
    }
    FixedText<kWebhookBodyCap> body;
    if (build_webhook_body(format, message, plat::local_utc_offset_minutes(), body.out()) == 0) {
        report_not_sent("Webhook", "message body", kNotWrittenCompletely);
        return false;
    }
    // the address and every header stay off the command line
    FixedText<kCommandLineCap> command;
    text_copy(command.out(), "curl -s --fail -K ");
    append_quoted_argument(command.out(), kCurlConfigFile, plat::interpreter());
    text_append(command.out(), " > %s 2>&1", plat::null_device());

    FixedText<64> content_type;
    content_type.format("Content-Type: %s", webhook_content_type(format));
    FixedText<kWebhookTitleCap + 8> title;
    FixedText<kWebhookTitleCap> title_value;
    build_ntfy_title(message.subject, title_value.out());
    title.format("Title: %s", title_value.c_str());
    FixedText<32> priority;
    priority.format("Priority: %s", ntfy_priority(message));
    FixedText<64> data;
    data.format("@%s", kWebhookBodyFile);
    const CurlOption ntfy_lines[] = {{"header", content_type.c_str()},
                                     {"data-binary", data.c_str()},
                                     {"header", title.c_str()},
                                     {"header", priority.c_str()}};

    CurlRequest request{};
    request.channel = "Webhook";
    request.command = command.c_str();
    request.config_option = "url";
    request.config_value = url;
    request.more_config = ntfy_lines;
    request.more_config_count = format == WebhookFormat::ntfy ? 4 : 2;
    request.file = {kWebhookBodyFile, "message body file", write_body_file, body.c_str()};
    request.sent_to = host.c_str();
    request.http_peer = "the receiver";
    request.timeout_seconds = send_timeout_of(*settings);
    return send_with_curl(request);
}

namespace {

// The address may stand scrambled in the file; its rule is the plain one's.
const char* url_problem(const char* value, plat::Interpreter) {
    FixedText<kWebhookUrlCap> plain;
    if (!unscramble_secret(value, plain.out())) plain.assign(value);
    return webhook_url_problem(plain.c_str());
}

const char* format_problem(const char* value, plat::Interpreter) {
    return value[0] == '\0' || webhook_format_of(value) != WebhookFormat::unknown ? nullptr
                                                                                  : kFormatReason;
}

constexpr ChannelKey kWebhookKeys[] = {
    {"webhook", KeyNeed::optional, url_problem},
    {"webhookformat", KeyNeed::optional, format_problem},
};

bool webhook_configured(const NotifySettings& s) { return s.webhook_enabled; }

bool send_webhook_message(const NotifySettings& s, const ChannelMessage& m) {
    return send_webhook(&s, m);
}

}  // namespace

const NotifyChannel kWebhookChannel = {
    "webhook", "Webhook", kWebhookKeys, std::size(kWebhookKeys), webhook_configured,
    &ChannelMessage::short_text, send_webhook_message,
};
