// The console report of one cycle.
#pragma once

#include "sampling/sample.h"

// Prints the timestamp, the CPU figure and its list, the memory figures and
// their list to standard output, as console notes (left out in silent mode).
void print_cycle_report(const Sample& sample);
