// A core's effective clock without performance counters: a dependent chain of
// one-cycle integer additions runs a known number of steps, so steps per second
// is cycles per second on whatever core the calling thread is on.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

// Additions in one unrolled pass of the chain; every call runs a multiple of it.
constexpr std::uint64_t kAddChainUnroll = 32;

// Runs at least `steps` dependent register additions (rounded up to the unroll)
// and answers how many it ran. Out of line, in assembly, so no compiler folds it.
std::uint64_t RunAddChain(std::uint64_t steps);

// One clock sample: a chain cut into equal chunks, each timed. It lost the
// processor when the thread was found elsewhere at its end, or when a chunk
// took far longer than the median chunk (the thread was preempted or held by
// an interrupt for longer than a chunk's work); such a sample reads too low
// and is discarded, never kept as the slowest reading.
struct ClockSample {
    double hz = 0;  // steps per second over every chunk; 0: nothing measured
    bool lostProcessor = false;
};

// A chunk that took this many times the median chunk lost the processor.
constexpr double kLostChunkFactor = 1.5;

// The sample from its chunks' times and the processor seen before and after
// (-1: unknown, which never counts as a move).
ClockSample JudgeClockSample(std::uint64_t stepsPerChunk, const std::vector<double>& chunkSeconds,
                             int processorBefore, int processorAfter);

// The calling thread's core clock now: `chunks` chains filling about `window`
// together, run back to back. The chain length is found once per thread.
ClockSample MeasureClock(std::chrono::microseconds window = std::chrono::microseconds(2000),
                         int chunks = 8);

// The fastest of `tries` samples that kept the processor, in Hz; 0 when none did.
double MeasureClockHz(std::chrono::microseconds window = std::chrono::microseconds(2000),
                      int tries = 3);

// Cycles in `seconds` at `clockHz`; the form every FLOP-per-cycle figure uses.
inline double CyclesIn(double seconds, double clockHz) {
    return seconds * clockHz;
}
