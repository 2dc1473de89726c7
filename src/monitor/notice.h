// The notices of the four threshold monitors: which monitor, which event,
// the three texts of one notice and the hand-off to the senders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "monitor/monitor_state.h"
#include "monitor/notice_lines.h"
#include "notify/channels.h"
#include "sampling/sample.h"
#include "text/fixed_text.h"

constexpr std::size_t kNoticeSubjectCap = 256;
constexpr std::size_t kNoticeBodyCap = 4096;
constexpr std::size_t kNoticeTelegramCap = 4096;

// The texts of one alert or recovery notice, rebuilt for every notice.
struct NoticeTexts {
    FixedText<kNoticeSubjectCap> subject;         // the event log line and the e-mail subject
    FixedText<kNoticeBodyCap> email_body;         // the monitor's list text, then the "Using CPU now" block
    FixedText<kNoticeTelegramCap> telegram_text;  // the list, the block, then "Time: ..." as the last line
};
static_assert(std::is_trivially_copyable_v<NoticeTexts>);

// Fills `texts` for `event` of `monitor` with the figures, list text and
// timestamp of `sample`, the host label and the monitor's threshold and
// configured count. CPU notices carry the CPU-time list, MEM notices the
// memory list. After the list, the body and the Telegram text (before its
// time line) get an empty line, with `state` the line of format_held_line,
// and the "Using CPU now" block. A reminder is the alert with "Reminder: "
// before the subject and "REMINDER " before the Telegram text.
void build_notice_texts(MonitorKind monitor, NoticeEvent event, const Sample& sample,
                        const MonitorSettings& monitor_settings, NoticeTexts* texts,
                        const MonitorState* state = nullptr);

// What one channel made of the notices handed to it since start.
struct ChannelTally {
    std::uint64_t sent;
    std::uint64_t failed;
    std::int64_t last_sent;  // Unix seconds of the last one sent; 0 before the first
};
struct NoticeTally {
    ChannelTally channels[kChannelCount];  // in the order of kChannels
};
static_assert(std::is_trivially_copyable_v<NoticeTally>);

// The outcomes of every send_over_channels since start (alerts, recovery
// notices, heartbeats), for the metrics file.
const NoticeTally& notice_tally();

// Hands one notice's texts and figures to the senders, in the order of
// the channel table: the e-mail to its recipients when e-mail is enabled,
// then the chat text over each chat channel that is enabled, when it is not
// empty. Each sender waits for its curl; its outcome is only counted in the
// notice tally. The senders write console notes.
void send_over_channels(const NotifySettings& notify_settings, const ChannelMessage& message);

// Builds the notice, logs "***Alert sending :<subject>", then sends the
// e-mail to the `to` list (when e-mail is enabled) and the chat text and
// the notice's figures over the chat channels that are enabled, in the
// order of the channel table. Every notice is logged, whether
// or not a channel is enabled; the senders' outcome is not looked at and
// never changes the monitor's state. With `state`, an alert's mail gets a
// new Message-ID kept in the state, and a recovery's or reminder's mail
// names it in In-Reply-To and References.
void send_monitor_notice(MonitorKind monitor, NoticeEvent event, const Sample& sample,
                         const MonitorSettings& monitor_settings,
                         const NotifySettings& notify_settings, MonitorState* state = nullptr);
