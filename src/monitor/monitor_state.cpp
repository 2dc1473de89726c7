#include "monitor/monitor_state.h"

MonitorStep step_monitor_state(MonitorState* state, bool holds, std::int32_t count) {
    MonitorStep step{holds, false, 0, StepNotice::none};
    if (holds) {
        // never beyond `count`, which is at most INT32_MAX: no overflow
        state->consecutive += 1;
        step.consecutive = state->consecutive;
        step.already_alerted = state->alerted;
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
        step.notice = StepNotice::recovery;
        state->alerted = false;
    }
    return step;
}
