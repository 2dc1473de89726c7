// The notification channels, one row each: the notice, "-test", "-check",
// the notice tally and the metrics file walk this table and name no
// channel themselves. A channel is one file that defines its row and one
// entry in kChannels.
#pragma once

#include <cstddef>

#include "config/notify_settings.h"
#include "platform/command.h"

// The texts of one notice; each channel sends the ones it uses.
struct ChannelMessage {
    const char* recipients;  // e-mail addresses, comma-separated
    const char* subject;
    const char* body;        // the e-mail body
    const char* short_text;  // the chat message
};

// What "-check" asks of a settings key of a channel.
enum class KeyNeed {
    required,  // "Missing key: <key>" when absent
    together,  // optional, but only with every other `together` key of its channel
    optional,
};

struct ChannelKey {
    const char* key;
    KeyNeed need;
    // Why `value` cannot reach curl as it must on `kind`'s command line;
    // null when it can. Null: any value passes.
    const char* (*problem)(const char* value, plat::Interpreter kind);
};

struct NotifyChannel {
    const char* label;  // "email": the metrics label and the "-test" log line
    const char* title;  // "Email": the "-test" lines and "-check"'s incomplete line
    const ChannelKey* keys;
    std::size_t key_count;
    // True when the settings switch the channel on.
    bool (*configured)(const NotifySettings& settings);
    // The text without which a notice skips the channel (never counted).
    const char* ChannelMessage::*needs;
    // Sends the message and waits for curl; true when it was sent.
    bool (*send)(const NotifySettings& settings, const ChannelMessage& message);
};

// Every channel, in the order a notice goes out.
constexpr std::size_t kChannelCount = 2;
extern const NotifyChannel* const kChannels[kChannelCount];

// Whether `channel` takes `message`: switched on, and the text it needs
// is there.
bool channel_takes(const NotifyChannel& channel, const NotifySettings& settings,
                   const ChannelMessage& message);

// Whether any channel is switched on.
bool any_channel_configured(const NotifySettings& settings);

// Why the value of the settings key `key` cannot be used: longer than its
// field, or unable to reach curl as it must on `kind`'s command line; null
// when it can or the key has no rule.
const char* setting_value_problem(const char* key, const char* value, plat::Interpreter kind);
