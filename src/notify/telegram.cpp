#include "notify/telegram.h"

#include <iterator>

#include "notify/curl_send.h"
#include "output/console.h"
#include "output/event_log.h"
#include "text/text_cursor.h"

void build_telegram_address(const NotifySettings& settings, const char* text, TextBuffer out) {
    FixedText<kTelegramTextCap> encoded_text;
    FixedText<kTelegramIdCap> encoded_token;
    FixedText<kTelegramIdCap> encoded_chat;
    url_encode(text, encoded_text.out());
    url_encode(settings.token.c_str(), encoded_token.out());
    url_encode(settings.chat_id.c_str(), encoded_chat.out());
    const char* base =
        settings.telegram_api.empty() ? kDefaultTelegramApi : settings.telegram_api.c_str();
    text_format(out, "%s/bot%s/sendMessage?chat_id=%s&text=%s", base, encoded_token.c_str(),
                encoded_chat.c_str(), encoded_text.c_str());
}

SettingProblem build_telegram_command(const NotifySettings& settings, TextBuffer out,
                                      plat::Interpreter kind, const char* null_device) {
    text_copy(out, "");
    static constexpr NotifyKey kBotKeys[] = {NotifyKey::token, NotifyKey::chat_id, NotifyKey::telegram_api};
    const SettingProblem cut = cut_value_problem(settings, kBotKeys, sizeof kBotKeys / sizeof kBotKeys[0]);
    if (cut.found()) return cut;
    if (!settings.telegram_api.empty()) {
        if (const char* reason = telegram_api_problem(settings.telegram_api.c_str())) {
            return {"telegram_api", reason};
        }
    }
    // the address, token included, stays off the command line
    text_copy(out, "curl -s --fail -K ");
    append_quoted_argument(out, kCurlConfigFile, kind);
    text_append(out, " > %s 2>&1", null_device);
    return {nullptr, nullptr};
}

bool send_telegram(const NotifySettings* settings, const char* text) {
    if (settings == nullptr || !settings->telegram_enabled || text == nullptr ||
        text[0] == '\0') {
        return false;
    }
    FixedText<kCommandLineCap> command;
    const SettingProblem problem =
        build_telegram_command(*settings, command.out(), plat::interpreter(), plat::null_device());
    console_note("Sending Telegram alert ...\n");
    log_event("Send Telegram alert to chat_id %s\n", settings->chat_id.c_str());
    if (problem.found()) {
        report_not_sent("Telegram", problem.key, problem.reason);
        return false;
    }
    FixedText<kTelegramAddressCap> address;
    build_telegram_address(*settings, text, address.out());
    FixedText<kTelegramIdCap + 8> sent_to;
    sent_to.format("chat_id %s", settings->chat_id.c_str());
    CurlRequest request{};
    request.channel = "Telegram";
    request.command = command.c_str();
    request.config_option = "url";
    request.config_value = address.c_str();
    request.sent_to = sent_to.c_str();
    request.timeout_seconds = send_timeout_of(*settings);
    return send_with_curl(request);
}

namespace {

// An empty address stands for the default; the token reaches curl in its
// configuration file, where any byte passes.
const char* api_problem(const char* value, plat::Interpreter) {
    return value[0] != '\0' ? telegram_api_problem(value) : nullptr;
}

constexpr ChannelKey kTelegramKeys[] = {
    {"token", KeyNeed::together, nullptr},
    {"chat_id", KeyNeed::together, nullptr},
    {"telegram_api", KeyNeed::optional, api_problem},
};

bool telegram_configured(const NotifySettings& s) { return s.telegram_enabled; }

bool send_telegram_message(const NotifySettings& s, const ChannelMessage& m) {
    return send_telegram(&s, m.short_text);
}

}  // namespace

const NotifyChannel kTelegramChannel = {
    "telegram", "Telegram", kTelegramKeys, std::size(kTelegramKeys), telegram_configured,
    &ChannelMessage::short_text, send_telegram_message,
};
