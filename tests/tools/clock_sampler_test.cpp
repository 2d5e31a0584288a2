// A worker's clock is sampled about once a second between cycles, whatever the
// cycles' length, and the samples keep what was measured.
#include "tools/stress/clock_sampler.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

TEST(ClockSampler, SamplesAtMostOnceASecond) {
    const struct {
        std::vector<int> pollsMs;  // when the worker finishes a cycle
        std::vector<bool> measured;
    } cases[] = {
        {{0, 300, 999, 1000, 1700, 2000, 3100}, {true, false, false, true, false, true, true}},
        // Cycles longer than a second: one sample per cycle.
        {{0, 2500, 5000}, {true, true, true}},
        {{5, 5, 5}, {true, false, false}},
    };
    for (const auto& c : cases) {
        double next = 1.0e9;
        ClockSampler sampler([&next] { return next += 1.0e6; }, 1000ms);
        const auto start = ClockSampler::Clock::time_point{};
        std::vector<double> expected;
        for (std::size_t i = 0; i < c.pollsMs.size(); ++i) {
            const double before = next;
            EXPECT_EQ(sampler.Poll(start + std::chrono::milliseconds(c.pollsMs[i])), c.measured[i])
                << i;
            if (next != before) expected.push_back(next);
        }
        EXPECT_EQ(sampler.SamplesHz(), expected);
        EXPECT_EQ(sampler.LastHz(), expected.empty() ? 0 : expected.back());
    }
}

TEST(ClockSampler, AFailedMeasurementIsNoSample) {
    ClockSampler sampler([] { return 0.0; }, 1000ms);
    EXPECT_FALSE(sampler.Poll(ClockSampler::Clock::time_point{}));
    // The next try comes a tenth of the interval later, not a whole one.
    EXPECT_FALSE(sampler.Poll(ClockSampler::Clock::time_point{} + 50ms));
    EXPECT_FALSE(sampler.Poll(ClockSampler::Clock::time_point{} + 100ms));
    EXPECT_TRUE(sampler.SamplesHz().empty());
    EXPECT_EQ(sampler.Discarded(), 2u);
    EXPECT_EQ(sampler.LastHz(), 0);
}

}  // namespace
