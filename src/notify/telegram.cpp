#include "notify/telegram.h"

#include "notify/send_files.h"
#include "notify/send_outcome.h"
#include "notify/shell_command.h"
#include "output/console.h"
#include "output/event_log.h"
#include "platform/transient_files.h"

namespace {

bool is_unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '.' || c == '_' || c == '~';
}

void report_not_sent(const char* key, const char* reason) {
    console_note("Telegram not sent: %s %s\n", key, reason);
    log_event("Telegram not sent: %s %s\n", key, reason);
}

}  // namespace

void url_encode(const char* source, char* out, std::size_t capacity) {
    if (out == nullptr || capacity == 0) return;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::size_t n = 0;
    if (source != nullptr && capacity >= 4) {
        for (const char* p = source; *p != '\0'; ++p) {
            // the longest step writes three characters: stop while they still fit
            if (n >= capacity - 4) break;
            const unsigned char c = static_cast<unsigned char>(*p);
            if (is_unreserved(c)) {
                out[n++] = static_cast<char>(c);
            } else if (c == ' ') {
                out[n++] = '+';
            } else {
                out[n++] = '%';
                out[n++] = kHex[c >> 4];
                out[n++] = kHex[c & 0x0F];
            }
        }
    }
    out[n] = '\0';
}

void build_telegram_address(const NotifySettings& settings, const char* text, TextBuffer out) {
    char encoded_text[kTelegramTextCap];
    char encoded_token[kTelegramIdCap];
    char encoded_chat[kTelegramIdCap];
    url_encode(text, encoded_text, sizeof encoded_text);
    url_encode(settings.token.c_str(), encoded_token, sizeof encoded_token);
    url_encode(settings.chat_id.c_str(), encoded_chat, sizeof encoded_chat);
    const char* base =
        settings.telegram_api.empty() ? kDefaultTelegramApi : settings.telegram_api.c_str();
    text_format(out, "%s/bot%s/sendMessage?chat_id=%s&text=%s", base, encoded_token, encoded_chat,
                encoded_text);
}

SettingProblem build_telegram_command(const NotifySettings& settings, TextBuffer out,
                                      plat::Interpreter kind, const char* null_device) {
    text_copy(out, "");
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
    FixedText<kTelegramCommandCap> command;
    const SettingProblem problem =
        build_telegram_command(*settings, command.out(), plat::interpreter(), plat::null_device());
    console_note("Sending Telegram alert ...\n");
    log_event("Send Telegram alert to chat_id %s\n", settings->chat_id.c_str());
    if (problem.found()) {
        report_not_sent(problem.key, problem.reason);
        return false;
    }
    FixedText<kTelegramAddressCap> address;
    build_telegram_address(*settings, text, address.out());
    int rc = 0;
    SettingProblem not_sent{nullptr, nullptr};
    {
        // the configuration file's name is shared with the mail sends
        const std::uint32_t timeout = send_timeout_of(*settings);
        MailLockHold hold(timeout + kMailLockGraceSeconds);
        if (!hold.usable()) {
            not_sent = {"mail lock", kMailLockBusy};
        } else if (!write_curl_config(kCurlConfigFile, "url", address.c_str())) {
            not_sent = {"curl configuration file", kNotWrittenCompletely};
        } else {
            rc = run_shell_command(command.c_str(), timeout);
            console_note("Telegram command rc=%d\n", rc);
            plat::remove_transient_file(kCurlConfigFile);
        }
    }
    // the outcome is logged after the mail lock is given back
    if (not_sent.found()) {
        report_not_sent(not_sent.key, not_sent.reason);
        return false;
    }
    if (rc == 0) {
        log_event("Telegram sent to chat_id %s\n", settings->chat_id.c_str());
    } else {
        log_send_failure("Telegram", rc);
    }
    return rc == 0;
}
