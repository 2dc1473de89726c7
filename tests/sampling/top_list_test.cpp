#include "sampling/top_list.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

TopEntry entry(std::int32_t pid, double value, const char* name = "p") {
    TopEntry e{};
    e.pid = pid;
    e.value = value;
    e.name.assign(name);
    return e;
}

// The pids of the rows, top first, 0 for an empty row.
std::vector<std::int32_t> pids(const TopList& list) {
    std::vector<std::int32_t> out;
    for (const TopEntry& row : list.rows) out.push_back(row.pid);
    return out;
}

bool row_is_all_zero(const TopEntry& row) {
    const TopEntry zero{};
    return std::memcmp(&row, &zero, sizeof row) == 0;
}

struct Offer {
    std::int32_t pid;
    double value;
};

}  // namespace

TEST(TopList, OffersInOrderGiveTheRows) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        const char* what;
        std::vector<Offer> offers;
        std::vector<std::int32_t> expected;
    };
    const Row rows[] = {
        {"largest first", {{1, 1.0}, {2, 3.0}, {3, 2.0}}, {2, 3, 1, 0, 0}},
        {"ties keep arrival order", {{1, 5.0}, {2, 5.0}, {3, 5.0}}, {1, 2, 3, 0, 0}},
        {"a tie goes below the earlier equal", {{1, 9.0}, {2, 5.0}, {3, 9.0}}, {1, 3, 2, 0, 0}},
        {"0.0 never enters, not even an empty row", {{1, 0.0}, {2, 0.0}}, {0, 0, 0, 0, 0}},
        {"negative values never enter", {{1, -1.0}}, {0, 0, 0, 0, 0}},
        {"pid 0 and negative pids never enter", {{0, 7.0}, {-4, 8.0}}, {0, 0, 0, 0, 0}},
        {"NaN never enters", {{1, nan}, {2, 1.0}, {3, nan}}, {2, 0, 0, 0, 0}},
        {"a sixth larger pushes the smallest out",
         {{1, 5.0}, {2, 4.0}, {3, 3.0}, {4, 2.0}, {5, 1.0}, {6, 1.5}},
         {1, 2, 3, 4, 6}},
        {"a sixth equal to the smallest does not enter",
         {{1, 5.0}, {2, 4.0}, {3, 3.0}, {4, 2.0}, {5, 1.0}, {6, 1.0}},
         {1, 2, 3, 4, 5}},
        {"a new largest shifts all down", {{1, 5.0}, {2, 4.0}, {3, 3.0}, {4, 2.0}, {5, 1.0}, {6, 9.0}},
         {6, 1, 2, 3, 4}},
        {"ascending arrivals", {{1, 1.0}, {2, 2.0}, {3, 3.0}, {4, 4.0}, {5, 5.0}, {6, 6.0}, {7, 7.0}},
         {7, 6, 5, 4, 3}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TopList list{};
        for (const Offer& offer : row.offers) {
            const TopEntry candidate = entry(offer.pid, offer.value);
            insert_top_entry(&list, &candidate);
        }
        EXPECT_EQ(pids(list), row.expected);
        // filled rows stand first, empty rows are all zero
        bool seen_empty = false;
        for (const TopEntry& r : list.rows) {
            if (r.pid <= 0) {
                seen_empty = true;
                EXPECT_TRUE(row_is_all_zero(r));
            } else {
                EXPECT_FALSE(seen_empty) << "filled row below an empty one";
            }
        }
    }
}

TEST(TopList, RowsAreWholeCopiesThatMoveIntact) {
    TopList list{};
    TopEntry first = entry(10, 2.0, "first");
    first.working_set = 111;
    insert_top_entry(&list, &first);
    TopEntry second = entry(20, 3.0, "second");
    second.working_set = 222;
    insert_top_entry(&list, &second);
    // the candidate is copied, not kept
    second.name.assign("changed");
    second.value = 0.5;

    EXPECT_EQ(list.rows[0].pid, 20);
    EXPECT_STREQ(list.rows[0].name.c_str(), "second");
    EXPECT_EQ(list.rows[0].working_set, 222u);
    EXPECT_EQ(list.rows[0].value, 3.0);
    EXPECT_EQ(list.rows[1].pid, 10);
    EXPECT_STREQ(list.rows[1].name.c_str(), "first");
    EXPECT_EQ(list.rows[1].working_set, 111u);
    EXPECT_EQ(list.rows[1].value, 2.0);
}

TEST(TopList, NullCandidateOrListChangesNothing) {
    TopList list{};
    const TopEntry one = entry(1, 1.0);
    insert_top_entry(&list, &one);
    insert_top_entry(&list, nullptr);
    insert_top_entry(nullptr, &one);
    EXPECT_EQ(pids(list), (std::vector<std::int32_t>{1, 0, 0, 0, 0}));
}

// The walks skip a process when top_value_would_enter says no: that must be
// exactly when offering it would leave the list unchanged, for every list a
// walk can build (ties, zeros, NaN, a full and a part-filled list).
TEST(TopList, WouldEnterIsTrueExactlyWhenTheInsertChangesTheList) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double values[] = {0.0, 1.0, 2.0, 2.0, 3.5, 1.0, 7.0, nan, 2.0, 0.5,
                             7.0, 9.0, 1.0, 0.0, 3.5, 8.0, 2.5, nan, 10.0, 0.25};
    TopList direct{};   // every value offered
    TopList skipping{};  // only the values said to enter
    std::int32_t pid = 0;
    // every offer against every list state along the way
    for (const double value : values) {
        SCOPED_TRACE(value);
        const TopEntry candidate = entry(++pid, value);
        const TopList before = direct;
        insert_top_entry(&direct, &candidate);
        const bool changed = std::memcmp(&before, &direct, sizeof direct) != 0;
        EXPECT_EQ(top_value_would_enter(before, value), changed);
        if (top_value_would_enter(skipping, value)) insert_top_entry(&skipping, &candidate);
        EXPECT_EQ(std::memcmp(&skipping, &direct, sizeof direct), 0);
    }
    // the list filled up on the way, so the full-list case was met
    EXPECT_EQ(pids(direct), (std::vector<std::int32_t>{19, 12, 16, 7, 11}));
}
