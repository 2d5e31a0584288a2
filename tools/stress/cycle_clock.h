// A core's effective clock without performance counters: a dependent chain of
// one-cycle integer additions runs a known number of steps, so steps per second
// is cycles per second on whatever core the calling thread is on.
#pragma once

#include <chrono>
#include <cstdint>

// Additions in one unrolled pass of the chain; every call runs a multiple of it.
constexpr std::uint64_t kAddChainUnroll = 32;

// Runs at least `steps` dependent register additions (rounded up to the unroll)
// and answers how many it ran. Out of line, in assembly, so no compiler folds it.
std::uint64_t RunAddChain(std::uint64_t steps);

// The calling thread's core clock in Hz: the best of `tries` chains of about
// `window` each (the best, since a preempted try only ever reads slow).
double MeasureClockHz(std::chrono::microseconds window = std::chrono::microseconds(2000),
                      int tries = 3);

// Cycles in `seconds` at `clockHz`; the form every FLOP-per-cycle figure uses.
inline double CyclesIn(double seconds, double clockHz) {
    return seconds * clockHz;
}
