// Telegram delivery: the Bot API's sendMessage method called through curl.
#pragma once

#include <cstddef>

#include "config/notify_settings.h"
#include "notify/channels.h"
#include "notify/command_line.h"
#include "notify/shell_command.h"
#include "platform/command.h"
#include "text/fixed_text.h"

constexpr std::size_t kTelegramTextCap = 2048;     // encoded text
constexpr std::size_t kTelegramIdCap = 512;        // encoded token, encoded chat id
constexpr std::size_t kTelegramAddressCap = 4096;  // request address

// The request address: the Bot API base (`telegram_api`, or
// "https://api.telegram.org" when empty) + "/bot%s/sendMessage?chat_id=%s&text=%s"
// with the encoded token, chat id and text; cut at 4095 characters.
void build_telegram_address(const NotifySettings& settings, const char* text, TextBuffer out);

// The command "curl -s --fail -K \"%s\" > %s 2>&1" with the curl
// configuration file (which holds the request address, token included)
// quoted for `kind` and the null device `null_device`. --fail makes an HTTP
// error status of the Bot API (a wrong token or chat id) a failure. When
// `telegram_api` is not an http:// or https:// address `out` stays empty
// and the problem is returned.
SettingProblem build_telegram_command(const NotifySettings& settings, TextBuffer out,
                                      plat::Interpreter kind, const char* null_device);

// Sends `text` to the configured chat, its progress as console notes and its
// outcome in the log. Returns true when curl ended with exit code 0.
bool send_telegram(const NotifySettings* settings, const char* text);

// The Telegram row of the channel table.
extern const NotifyChannel kTelegramChannel;
