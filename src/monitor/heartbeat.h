// The daily I-am-alive notice: sent once per calendar day, at the end of the
// first cycle whose local day of the month differs from the remembered one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "sampling/sample.h"
#include "text/fixed_text.h"

constexpr std::size_t kHeartbeatSubjectCap = 256;
constexpr std::size_t kHeartbeatBodyCap = 2048;
constexpr std::size_t kHeartbeatTelegramCap = 1024;

struct HeartbeatTexts {
    FixedText<kHeartbeatSubjectCap> subject;
    FixedText<kHeartbeatBodyCap> email_body;         // every line ends with a line feed
    FixedText<kHeartbeatTelegramCap> telegram_text;  // no line feed after "Time: ..."
};
static_assert(std::is_trivially_copyable_v<HeartbeatTexts>);

// Fills `texts` with the host label and the cycle's figures and timestamp.
void build_heartbeat_texts(const Sample& sample, const MonitorSettings& monitor_settings,
                           HeartbeatTexts* texts);

// The end-of-cycle check against a fresh reading of the local clock: see
// check_heartbeat_on_day. A clock that cannot be read changes nothing.
void check_heartbeat(const Sample& sample, const MonitorSettings& monitor_settings,
                     const NotifySettings& notify_settings, std::int32_t* remembered_day);

// The check for the day of the month `today`: nothing when it is the
// remembered day. Otherwise, when the heartbeat is enabled and at least one
// channel is, the notice goes by e-mail to the `iamalive` list and over
// the chat channels (Telegram, the webhook); then `today` is remembered, whether or not anything was sent and
// whatever the delivery outcome. Writes no log line of its own.
void check_heartbeat_on_day(std::int32_t today, const Sample& sample,
                            const MonitorSettings& monitor_settings,
                            const NotifySettings& notify_settings, std::int32_t* remembered_day);
