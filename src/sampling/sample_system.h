// One cycle's sample of the machine.
#pragma once

#include "sampling/collect_top.h"
#include "sampling/cpu_usage.h"
#include "sampling/sample.h"

// Takes one cycle's sample: pauses one second, then does measure_system.
// `previous` is the monitor run's previous CPU reading, replaced after each
// successful reading; `sample` is filled completely. Failures are absorbed:
// a figure that cannot be read is 0 and a list that cannot be walked is
// empty.
void sample_system(CpuReading* previous, Sample* sample);

// Everything of sample_system after the pause, in this order: CPU figure
// (from `cpu_source`), memory figures, memory walk, CPU-time walk (both
// from `processes`; the CPU-time walk also gives each process's share of
// all CPUs since the previous call, kept in the run's one share table),
// both list texts, the "Using CPU now" block, timestamp, and the console
// report unless in silent mode.
// When the count of processes left out differs from the one `sample` held
// (the previous cycle's: the run reuses one sample), the event log gets
// "Processes not readable: N (left out of the top lists)".
void measure_system(CpuReading* previous, Sample* sample,
                    const ProcessSource& processes = kSystemProcesses,
                    bool (*cpu_source)(CpuReading* out) = &read_cpu);
