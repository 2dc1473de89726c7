// One threshold monitor's state machine over (consecutive, alerted).
#pragma once

#include <cstdint>
#include <type_traits>

// All zero at start; lives for the whole run and is never stored.
struct MonitorState {
    std::int32_t consecutive;  // cycles in a row in which the condition held
    bool alerted;              // an alert went out and no recovery notice yet
};
static_assert(std::is_trivially_copyable_v<MonitorState>);

enum class StepNotice { none, alert, recovery };

// What one step did, for the lines and the notice that follow it.
struct MonitorStep {
    bool holds;
    bool already_alerted;      // the condition held while an alert stood: the "Still" lines
    std::int32_t consecutive;  // holds: the counter after the increment; else the counter before the reset
    StepNotice notice;
};

// Advances `state` by one cycle in which the condition holds or not:
//   holds: the counter goes up; on reaching `count` an alert is due unless
//          one already stands, and the counter starts again from 0;
//   ends:  the counter goes back to 0; a standing alert is recovered.
MonitorStep step_monitor_state(MonitorState* state, bool holds, std::int32_t count);
