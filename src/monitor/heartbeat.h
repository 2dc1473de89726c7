// The daily I-am-alive notice: sent once per calendar day, at the end of the
// first cycle whose local day of the month differs from the remembered one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "monitor/monitor_state.h"
#include "platform/time.h"
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

// What the heartbeat tells of the run besides the cycle's figures.
struct HeartbeatFacts {
    std::int64_t started_at;       // Unix seconds of the monitor's start
    const MonitorState* monitors;  // the kMonitorCount states, in the order of kMonitors
    // the notices sent and failed over every channel (the notice tally)
    // up to the last heartbeat; 0 before the first
    std::uint64_t sent_before;
    std::uint64_t failed_before;
};

// The notices sent and failed over every channel since start.
void notice_totals(std::uint64_t* sent, std::uint64_t* failed);

// Fills `texts` with the host label and the cycle's figures and timestamp.
// With `facts`, both bodies go on (the Telegram text after a line feed):
// "Version: 1.0.0", "Up: 3 d 4 h", "Standing alerts: CPU HIGH since
// 2026-12-08 03:01:12" (each, comma-separated) or "Standing alerts: none",
// "Notices since the last heartbeat: 8 sent, 1 failed".
void build_heartbeat_texts(const Sample& sample, const MonitorSettings& monitor_settings,
                           HeartbeatTexts* texts, const HeartbeatFacts* facts = nullptr);

// The end-of-cycle check against a fresh reading of the local clock
// (`clock`, the system's unless a test gives another): see
// check_heartbeat_on_day. A clock that cannot be read (a day outside 1 to
// 31) changes nothing.
void check_heartbeat(const Sample& sample, const MonitorSettings& monitor_settings,
                     const NotifySettings& notify_settings, std::int32_t* remembered_day,
                     HeartbeatFacts* facts = nullptr,
                     void (*clock)(plat::LocalTime* out) = &plat::local_time);

// The check for the day of the month `today`: nothing when it is the
// remembered day. Otherwise, when the heartbeat is enabled and at least one
// channel is, the notice goes by e-mail to the `iamalive` list and over
// the chat channels (Telegram, the webhook); then `today` is remembered, whether or not anything was sent and
// whatever the delivery outcome. Writes no log line of its own.
// With `facts`, the texts carry them, and after a heartbeat the notice
// counts become the ones the next counts from.
void check_heartbeat_on_day(std::int32_t today, const Sample& sample,
                            const MonitorSettings& monitor_settings,
                            const NotifySettings& notify_settings, std::int32_t* remembered_day,
                            HeartbeatFacts* facts = nullptr);
