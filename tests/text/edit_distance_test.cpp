#include "text/edit_distance.h"

#include <gtest/gtest.h>

#include <string>

TEST(EditDistance, EditsBetweenWords) {
    struct Row {
        const char* a;
        const char* b;
        std::size_t distance;
    };
    const Row rows[] = {
        {"interval", "interval", 0},
        {"Interval", "INTERVAL", 0},           // letters without case
        {"cpuhighthreshhold", "cpuhighthreshold", 1},  // one too many
        {"chatid", "chat_id", 1},              // one missing
        {"memhighnun", "memhighnum", 1},        // one replaced
        {"itnerval", "interval", 1},           // two neighbours swapped
        {"", "to", 2},
        {"abc", "", 3},
        {"sendtimeout", "server", 8},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.a) + " / " + row.b);
        EXPECT_EQ(edit_distance(row.a, row.b), row.distance);
        EXPECT_EQ(edit_distance(row.b, row.a), row.distance);
    }
    // words are taken to the capacity: a longer key costs no more
    const std::string long_a(500, 'a');
    EXPECT_EQ(edit_distance(long_a.c_str(), std::string(400, 'a').c_str()), 0u);
}
