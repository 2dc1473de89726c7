// Keeping the five largest processes of a walk.
#pragma once

#include "sampling/sample.h"

// Offers `candidate` (copied, not kept) to `list`: it takes the first row
// whose value is strictly smaller than its own, the rows below move down
// one place and the last falls out. Nothing happens for a null candidate,
// a pid of 0 or less, or a value not greater than any row's (equal values
// keep their order of arrival; 0.0 and NaN never enter).
void insert_top_entry(TopList* list, const TopEntry* candidate);

// True when a candidate of `value` would take a row of `list`, that is when
// it is greater than the last row's value (the rows run from the largest
// down). Lets a walk skip building the row of a process that cannot enter.
bool top_value_would_enter(const TopList& list, double value);
