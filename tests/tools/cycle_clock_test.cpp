// The add chain must run one step a cycle: measured against the time-stamp
// counter, which ticks at about the core's nominal clock, a chain that the core
// folded or the compiler dropped reads far too fast.
#include "tools/stress/cycle_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "cpu/tsc_stopwatch.h"

namespace {

double TscHz() {
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t t0 = ReadTsc();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const std::uint64_t t1 = ReadTsc();
    const double s =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return static_cast<double>(t1 - t0) / s;
}

TEST(CycleClock, RoundsStepsUpToWholePasses) {
    const struct {
        std::uint64_t asked, ran;
    } cases[] = {{0, kAddChainUnroll},
                 {1, kAddChainUnroll},
                 {kAddChainUnroll, kAddChainUnroll},
                 {kAddChainUnroll + 1, 2 * kAddChainUnroll},
                 {1000 * kAddChainUnroll, 1000 * kAddChainUnroll}};
    for (const auto& c : cases) EXPECT_EQ(RunAddChain(c.asked), c.ran) << c.asked;
}

TEST(CycleClock, ReadsNearTheTimeStampCounterRate) {
    // Best of a few, since a loaded machine only ever makes the chain read slow.
    double clock = 0;
    for (int i = 0; i < 5; ++i) clock = std::max(clock, MeasureClockHz());
    const double ratio = clock / TscHz();
    // Turbo reads above 1, a throttled or shared core below; one step a cycle
    // keeps it between. Two steps a cycle would read about twice the TSC.
    EXPECT_GT(ratio, 0.4) << clock;
    EXPECT_LT(ratio, 1.9) << clock;
}

}  // namespace
