// The notices of the four threshold monitors: which monitor, which event,
// and the hand-off that builds the texts of one notice and passes them on.
#pragma once

#include <cstddef>
#include <type_traits>

#include "config/monitor_settings.h"
#include "config/notify_settings.h"
#include "sampling/sample.h"
#include "text/fixed_text.h"

// The four monitors, in the order in which they run every cycle.
enum class MonitorKind { cpu_high, cpu_low, mem_high, mem_low };

enum class NoticeEvent { alert, recovery };

constexpr std::size_t kNoticeSubjectCap = 256;

// The texts of one alert or recovery notice, rebuilt for every notice.
struct NoticeTexts {
    FixedText<kNoticeSubjectCap> subject;  // the event log line and the e-mail subject
};
static_assert(std::is_trivially_copyable_v<NoticeTexts>);

// Fills `texts` for `event` of `monitor` with the figures of `sample`, the
// host label and the monitor's threshold and configured count.
void build_notice_texts(MonitorKind monitor, NoticeEvent event, const Sample* sample,
                        const MonitorSettings* monitor_settings, NoticeTexts* texts);

// Builds the notice and logs "***Alert sending :<subject>". Every notice
// goes through this hand-off, whether or not a channel is enabled; its
// outcome never changes the monitor's state.
void send_monitor_notice(MonitorKind monitor, NoticeEvent event, const Sample* sample,
                         const MonitorSettings* monitor_settings,
                         const NotifySettings* notify_settings);
