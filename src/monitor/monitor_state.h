// One threshold monitor's state machine over (consecutive, alerted).
#pragma once

#include <cstdint>
#include <type_traits>

#include "notify/mail_headers.h"
#include "output/event_log.h"
#include "text/fixed_text.h"

// All zero at start; lives for the whole run and is never stored.
struct MonitorState {
    std::int32_t consecutive;  // cycles in a row in which the condition held
    bool alerted;              // an alert went out and no recovery notice yet
    std::int32_t gone;         // cycles in a row without the condition while an alert stands
    std::int64_t began_at;     // Unix seconds of the period's first counted cycle
    std::int64_t ended_at;     // Unix seconds of the first cycle without it, while alerted
    std::int64_t noticed_at;   // Unix seconds of the alert or its last reminder
    FixedText<kTimestampCap> began;       // the timestamp of the first counted cycle
    FixedText<kMessageIdCap> alert_id;    // the alert mail's Message-ID; its follow-ups name it
};
static_assert(std::is_trivially_copyable_v<MonitorState>);

enum class StepNotice { none, alert, recovery };

// What one step did, for the lines and the notice that follow it.
struct MonitorStep {
    bool holds;
    bool already_alerted;      // the condition held while an alert stood: the "Still" lines
    std::int32_t consecutive;  // holds: the counter after the increment; else the counter before the reset
    StepNotice notice;
    bool began;                // the first counted cycle of a period (not while an alert stands)
    std::int32_t gone;         // without the condition while alerted: the cycles so far, else 0
};

// Advances `state` by one cycle in which the condition holds or not:
//   holds: the counter goes up; on reaching `count` an alert is due unless
//          one already stands, and the counter starts again from 0;
//   ends:  the counter goes back to 0; a standing alert is recovered once
//          the condition has been gone for `recover` cycles in a row (1:
//          at once), and stands on when it holds again before that.
MonitorStep step_monitor_state(MonitorState* state, bool holds, std::int32_t count,
                               std::int32_t recover = 1);

// Whether a standing alert's reminder is due at `now` (Unix seconds):
// reminders on (`remind_minutes` > 0) and that many minutes since the
// alert or the last reminder.
bool reminder_due(const MonitorState& state, std::int64_t now, std::int32_t remind_minutes);
