#include "monitor/monitor_state.h"

MonitorStep step_monitor_state(MonitorState* state, bool holds, std::int32_t count,
                               std::int32_t recover) {
    MonitorStep step{holds, false, 0, StepNotice::none, false, 0};
    if (holds) {
        state->gone = 0;
        // never beyond `count`, which is at most INT32_MAX: no overflow
        state->consecutive += 1;
        step.consecutive = state->consecutive;
        step.already_alerted = state->alerted;
        step.began = !state->alerted && state->consecutive == 1;
        if (state->consecutive >= count) {
            if (!state->alerted) {
                step.notice = StepNotice::alert;
                state->alerted = true;
            }
            state->consecutive = 0;
        }
        return step;
    }
    step.consecutive = state->consecutive;
    state->consecutive = 0;
    if (state->alerted) {
        // at most `recover` (1000): the alert is recovered on reaching it
        ++state->gone;
        step.gone = state->gone;
        if (state->gone >= recover) {
            step.notice = StepNotice::recovery;
            state->alerted = false;
            state->gone = 0;
        }
    }
    return step;
}

bool reminder_due(const MonitorState& state, std::int64_t now, std::int32_t remind_minutes) {
    if (!state.alerted || remind_minutes <= 0) return false;
    return now - state.noticed_at >= static_cast<std::int64_t>(remind_minutes) * 60;
}
