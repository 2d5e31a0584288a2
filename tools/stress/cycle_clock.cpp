// The add chain is register-to-register (`add reg, reg`): some cores fold
// immediate additions at rename, which would make the chain run faster than
// one step a cycle.
#include "tools/stress/cycle_clock.h"

#include <algorithm>

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

double MeasureClockHz(std::chrono::microseconds window, int tries) {
    // Grow the chain until one run fills the window, so the timer's own cost
    // and resolution stay small beside it.
    std::uint64_t steps = 1u << 16;
    double seconds = 0;
    for (;;) {
        const auto start = Clock::now();
        RunAddChain(steps);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (seconds >= std::chrono::duration<double>(window).count() || steps >= (1ull << 40))
            break;
        steps *= 2;
    }
    double best = seconds;
    for (int i = 1; i < tries; ++i) {
        const auto start = Clock::now();
        RunAddChain(steps);
        best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    }
    return best > 0 ? static_cast<double>(steps) / best : 0;
}
