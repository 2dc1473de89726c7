// The CPU figure: system-times readings and the usage between two of them.
#pragma once

#include <cstdint>

#include "sampling/sample.h"

// Takes one system-times reading; false (and an all-zero reading) when the
// system cannot give one.
[[nodiscard]] bool read_cpu(CpuReading* out);

// The CPU usage in percent between two readings, 0.0 to 100.0: the share
// of all time that was not idle. 0.0 when no time has passed, when the
// idle time grew by as much as all time or more, or when any of the three
// counters stepped backwards (the reading is dropped).
double cpu_usage(const CpuReading& previous, const CpuReading& now);

// One cycle's CPU step: with a new reading (`now` not null) returns the
// usage since `previous` and makes the new reading the previous one; after
// a failed reading (`now` null) returns 0.0 and keeps `previous`, so the
// next good reading covers both cycles.
double advance_cpu_reading(CpuReading* previous, const CpuReading* now);

// cpu_percent + 0.5, truncated: the whole number the CPU monitors compare.
std::int32_t round_cpu_percent(double cpu_percent);
