// The add chain is register-to-register (`add reg, reg`): some cores fold
// immediate additions at rename, which would make the chain run faster than
// one step a cycle.
#include "tools/stress/cycle_clock.h"

#include <algorithm>

#include "tools/stress/platform.h"

#define QUARRION_ADD4 \
    "add %[one], %[x]\n\tadd %[one], %[x]\n\tadd %[one], %[x]\n\tadd %[one], %[x]\n\t"
#define QUARRION_ADD32                                                                  \
    QUARRION_ADD4 QUARRION_ADD4 QUARRION_ADD4 QUARRION_ADD4 QUARRION_ADD4 QUARRION_ADD4 \
        QUARRION_ADD4 QUARRION_ADD4

namespace {
using Clock = std::chrono::steady_clock;
}  // namespace

std::uint64_t RunAddChain(std::uint64_t steps) {
    // The counter is a native word, so the same code serves the 32-bit build.
    unsigned long passes =
        static_cast<unsigned long>((steps + kAddChainUnroll - 1) / kAddChainUnroll);
    if (passes == 0) passes = 1;
    const unsigned long ran = passes;
    unsigned long x = 0;
    const unsigned long one = 1;
    __asm__ volatile("1:\n\t" QUARRION_ADD32
                     "sub $1, %[n]\n\t"
                     "jnz 1b\n\t"
                     : [x] "+r"(x), [n] "+r"(passes)
                     : [one] "r"(one)
                     : "cc");
    return static_cast<std::uint64_t>(ran) * kAddChainUnroll;
}

ClockSample JudgeClockSample(std::uint64_t stepsPerChunk, const std::vector<double>& chunkSeconds,
                             int processorBefore, int processorAfter) {
    ClockSample sample;
    if (chunkSeconds.empty()) return sample;
    std::vector<double> sorted = chunkSeconds;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    double total = 0;
    for (double s : chunkSeconds) total += s;
    if (total <= 0) return sample;
    sample.hz = static_cast<double>(stepsPerChunk * chunkSeconds.size()) / total;
    sample.lostProcessor =
        sorted.back() > kLostChunkFactor * median ||
        (processorBefore >= 0 && processorAfter >= 0 && processorBefore != processorAfter);
    return sample;
}

ClockSample MeasureClock(std::chrono::microseconds window, int chunks) {
    if (chunks < 1) chunks = 1;
    const double chunkTarget = std::chrono::duration<double>(window).count() / chunks;
    // Grown until one chunk fills its share of the window, so the timer's own
    // cost and resolution stay small beside it; kept for the thread's next sample.
    thread_local std::uint64_t steps = 0;
    if (steps == 0) {
        steps = 1u << 11;
        for (;;) {
            const auto start = Clock::now();
            RunAddChain(steps);
            const double s = std::chrono::duration<double>(Clock::now() - start).count();
            if (s >= chunkTarget || steps >= (1ull << 36)) break;
            steps *= 2;
        }
    }
    const int before = CurrentProcessor();
    std::vector<double> seconds(static_cast<std::size_t>(chunks));
    for (double& s : seconds) {
        const auto start = Clock::now();
        RunAddChain(steps);
        s = std::chrono::duration<double>(Clock::now() - start).count();
    }
    const ClockSample sample = JudgeClockSample(steps, seconds, before, CurrentProcessor());
    // The next sample's chunks as long as this one's should have been.
    if (!sample.lostProcessor && sample.hz > 0)
        steps = std::max<std::uint64_t>(kAddChainUnroll,
                                        static_cast<std::uint64_t>(sample.hz * chunkTarget));
    return sample;
}

double MeasureClockHz(std::chrono::microseconds window, int tries) {
    double best = 0;
    for (int i = 0; i < tries; ++i) {
        const ClockSample sample = MeasureClock(window);
        if (!sample.lostProcessor) best = std::max(best, sample.hz);
    }
    return best;
}
