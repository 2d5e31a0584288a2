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

// A sample that lost the processor (moved, or held up far longer than a
// chunk's work) is flagged for discarding; an even one is kept whole.
TEST(CycleClock, ASampleThatLostTheProcessorIsFlagged) {
    const struct {
        const char* name;
        std::vector<double> chunkMs;
        int before, after;
        bool lost;
        double hz;  // of 1000000 steps a chunk
    } cases[] = {
        {"even", {0.25, 0.25, 0.25, 0.25}, 0, 0, false, 4e9},
        {"a little uneven", {0.25, 0.25, 0.34, 0.16}, 3, 3, false, 4e9},
        {"preempted in a chunk", {0.25, 0.25, 2.25, 0.25}, 0, 0, true, 4e9 / 3},
        {"moved", {0.25, 0.25, 0.25, 0.25}, 0, 1, true, 4e9},
        {"processor unknown", {0.25, 0.25, 0.25, 0.25}, -1, -1, false, 4e9},
        {"nothing timed", {}, 0, 0, false, 0},
    };
    for (const auto& c : cases) {
        std::vector<double> seconds;
        for (double ms : c.chunkMs) seconds.push_back(ms / 1000);
        const ClockSample sample = JudgeClockSample(1000000, seconds, c.before, c.after);
        EXPECT_EQ(sample.lostProcessor, c.lost) << c.name;
        EXPECT_NEAR(sample.hz, c.hz, c.hz * 1e-9) << c.name;
    }
}

}  // namespace
