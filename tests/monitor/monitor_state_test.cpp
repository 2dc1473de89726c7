#include "monitor/monitor_state.h"

#include <gtest/gtest.h>

TEST(MonitorStateStep, OneAlertAndOneRecoveryPerLongPeriod) {
    // 40 cycles in which the condition holds with a count of 4, then it ends:
    // the alert comes in cycle 4 only; the counter runs 1..4 and wraps to 0
    MonitorState state{};
    int alerts = 0;
    for (int cycle = 1; cycle <= 40; ++cycle) {
        SCOPED_TRACE(cycle);
        const MonitorStep step = step_monitor_state(&state, true, 4);
        EXPECT_TRUE(step.holds);
        EXPECT_EQ(step.consecutive, (cycle - 1) % 4 + 1);
        EXPECT_EQ(step.already_alerted, cycle > 4);
        EXPECT_EQ(state.consecutive, cycle % 4 == 0 ? 0 : cycle % 4);
        EXPECT_EQ(state.alerted, cycle >= 4 ? 1 : 0);
        if (step.notice == StepNotice::alert) ++alerts;
        EXPECT_NE(step.notice, StepNotice::recovery);
    }
    EXPECT_EQ(alerts, 1);

    // cycle 41 would have been counter 1; the condition ends instead
    state.consecutive = 2;
    MonitorStep end = step_monitor_state(&state, false, 4);
    EXPECT_EQ(end.notice, StepNotice::recovery);
    EXPECT_EQ(end.consecutive, 2);  // the value the reset line shows
    EXPECT_EQ(state.consecutive, 0);
    EXPECT_EQ(state.alerted, 0);
    end = step_monitor_state(&state, false, 4);
    EXPECT_EQ(end.notice, StepNotice::none);
    EXPECT_EQ(end.consecutive, 0);
}

TEST(MonitorStateStep, HugeCountNeverOverflows) {
    // the loader saturates counts to the 32-bit range; the counter stops there
    MonitorState state{};
    state.consecutive = INT32_MAX - 1;
    MonitorStep step = step_monitor_state(&state, true, INT32_MAX);
    EXPECT_EQ(step.consecutive, INT32_MAX);
    EXPECT_EQ(step.notice, StepNotice::alert);
    EXPECT_EQ(state.consecutive, 0);
}
