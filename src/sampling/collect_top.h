// The two process walks of a cycle, each over its own fresh process list.
#pragma once

#include <cstdint>

#include "sampling/sample.h"

// Clears `list` and fills it with the five largest working sets, each as a
// percent of `total_mb` MB (with `total_mb` 0 no process has a value and
// the list stays empty).
void collect_memory_top(std::uint64_t total_mb, TopList* list);

// Clears `list` and fills it with the five largest accumulated CPU times,
// in seconds.
void collect_cpu_time_top(TopList* list);
