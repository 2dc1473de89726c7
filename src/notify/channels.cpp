#include "notify/channels.h"

#include <cstring>

#include "notify/email.h"
#include "notify/telegram.h"

const NotifyChannel* const kChannels[kChannelCount] = {&kEmailChannel, &kTelegramChannel};

bool channel_takes(const NotifyChannel& channel, const NotifySettings& settings,
                   const ChannelMessage& message) {
    if (!channel.configured(settings)) return false;
    if (channel.needs == nullptr) return true;
    const char* text = message.*channel.needs;
    return text != nullptr && text[0] != '\0';
}

bool any_channel_configured(const NotifySettings& settings) {
    for (const NotifyChannel* channel : kChannels) {
        if (channel->configured(settings)) return true;
    }
    return false;
}

const char* setting_value_problem(const char* key, const char* value, plat::Interpreter kind) {
    if (const char* reason = notify_value_length_problem(key, value)) return reason;
    for (const NotifyChannel* channel : kChannels) {
        for (std::size_t i = 0; i < channel->key_count; ++i) {
            const ChannelKey& k = channel->keys[i];
            if (std::strcmp(k.key, key) != 0) continue;
            return k.problem != nullptr ? k.problem(value, kind) : nullptr;
        }
    }
    return nullptr;
}
