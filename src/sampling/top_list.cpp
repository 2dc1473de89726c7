#include "sampling/top_list.h"

void insert_top_entry(TopList* list, const TopEntry* candidate) {
    if (list == nullptr || candidate == nullptr || candidate->pid <= 0) return;
    std::size_t slot = kTopRows;
    for (std::size_t i = 0; i < kTopRows; ++i) {
        // an unordered comparison (NaN) counts as not greater
        if (candidate->value > list->rows[i].value) {
            slot = i;
            break;
        }
    }
    if (slot == kTopRows) return;
    // from the bottom up, so nothing is overwritten before it has moved
    for (std::size_t i = kTopRows - 1; i > slot; --i) list->rows[i] = list->rows[i - 1];
    list->rows[slot] = *candidate;
}

bool top_value_would_enter(const TopList& list, double value) {
    // an unordered comparison (NaN) counts as not greater, as in the insert
    return value > list.rows[kTopRows - 1].value;
}
