#include <gtest/gtest.h>

#include "platform/backend.h"

namespace {

// A job whose processes end some looks after it was ended (-1: never).
int g_looks_to_end = 0;
int g_looks = 0;

std::uint32_t active_stand_in(void* group) {
    EXPECT_EQ(group, &g_looks);  // the group it was handed
    const bool ended = g_looks_to_end >= 0 && g_looks >= g_looks_to_end;
    ++g_looks;
    return ended ? 0u : 2u;
}
void pause_stand_in(std::uint32_t) {}

}  // namespace

// An ended command's files are cleaned up only once its last process is
// gone, and the wait for one that lingers is bounded.
TEST(CommandWait, WaitsForTheLastProcessOfAnEndedCommand) {
    struct Row {
        int looks_to_end;
        bool gone;
        int looks;
    };
    const Row rows[] = {{0, true, 1}, {3, true, 4}, {-1, false, 11}};
    const plat::CommandWatch watch{active_stand_in, pause_stand_in};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.looks_to_end);
        g_looks_to_end = row.looks_to_end;
        g_looks = 0;
        EXPECT_EQ(plat::wait_until_no_process(watch, &g_looks, 100, 10), row.gone);
        EXPECT_EQ(g_looks, row.looks);
    }
}
