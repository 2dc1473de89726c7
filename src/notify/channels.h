// The notification channels, one row each: the notice, "-test", "-check",
// the notice tally and the metrics file walk this table and name no
// channel themselves. A channel is one file that defines its row and one
// entry in kChannels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/notify_settings.h"
#include "platform/command.h"
#include "sampling/sample.h"

// The figures of one notice, for a channel that hands them on as data.
struct NoticeFacts {
    const char* event;       // "alert", "recovery", "heartbeat", "test"
    const char* host;        // the host label
    const char* monitor;     // "CPU HIGH"; null for the heartbeat and the test
    const char* value;       // the figure as the texts show it, "97.3"; null likewise
    std::int32_t threshold;  // percent
    std::int32_t count;      // the consecutive cycles the monitor requires
    const char* local_time;  // "2026-03-07 04:05:09"
    const TopList* cpu_top;  // null: none
    const TopList* mem_top;
};

// The texts of one notice; each channel sends the ones it uses.
struct ChannelMessage {
    const char* recipients;  // e-mail addresses, comma-separated
    const char* subject;
    const char* body;        // the e-mail body
    const char* short_text;  // the chat message
    const NoticeFacts* facts;
    // The "Using CPU now" block of an alert or recovery, which body and
    // short_text already end with (before the chat message's time line);
    // null for other messages.
    const char* cpu_now;
    // The mail's Message-ID, "<...>"; null: the mail makes its own.
    const char* message_id;
    // The Message-ID this notice follows up (a recovery: its alert's), for
    // In-Reply-To and References; null: none.
    const char* in_reply_to;
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
constexpr std::size_t kChannelCount = 3;
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
