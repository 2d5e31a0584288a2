// Cycles charged to the processor they ran on, the sweep table built from
// them, and the retest verdict.
#include "tools/stress/attribution.h"

#include <gtest/gtest.h>

namespace {

constexpr int kUnknown = kUnknownProcessor;

TEST(Attribution, ACycleCountsOnlyWhereItRanFromStartToEnd) {
    const struct {
        CyclePlace place;
        std::optional<int> charged;
    } cases[] = {
        {{3, 3, 3}, 3},
        {{3, 3, 1}, std::nullopt},         // moved during the cycle
        {{3, 1, 3}, std::nullopt},         // started elsewhere
        {{3, 1, 1}, std::nullopt},         // never where it was pinned
        {{3, kUnknown, kUnknown}, 3},      // the platform cannot say: the pin holds
        {{3, kUnknown, 2}, std::nullopt},  // what it can say disagrees
        {{kUnknown, 0, 0}, std::nullopt},  // never pinned
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChargedProcessor(c.place), c.charged)
            << c.place.pinned << " " << c.place.before << " " << c.place.after;
}

// A sweep over four processors with one faulty cycle on processor 2 under
// heavy load and one cycle of processor 1 that migrated to 0 and failed there.
TEST(Attribution, AFaultIsChargedToItsProcessorAndAMigratedCycleToNone) {
    const int kFaulty = 2, kMoving = 1;
    SweepTally tally;
    for (int processor = 0; processor < 4; ++processor) {
        for (Regime regime : {Regime::Light, Regime::Heavy}) {
            for (int cycle = 1; cycle <= 10; ++cycle) {
                CyclePlace place{processor, processor, processor};
                bool failed = processor == kFaulty && regime == Regime::Heavy && cycle == 5;
                if (processor == kMoving && regime == Regime::Light && cycle == 3) {
                    place.after = 0;
                    failed = true;
                }
                tally.AddCycle(regime, place, failed);
            }
        }
    }
    const struct {
        int processor;
        Regime regime;
        std::uint64_t cycles, errors;
    } cells[] = {
        {0, Regime::Light, 10, 0}, {0, Regime::Heavy, 10, 0}, {1, Regime::Light, 9, 0},
        {1, Regime::Heavy, 10, 0}, {2, Regime::Light, 10, 0}, {2, Regime::Heavy, 10, 1},
        {3, Regime::Light, 10, 0}, {3, Regime::Heavy, 10, 0},
    };
    for (const auto& c : cells) {
        const SweepCell* cell = tally.Find(c.processor, c.regime);
        ASSERT_NE(cell, nullptr) << c.processor << " " << RegimeName(c.regime);
        EXPECT_EQ(cell->cycles, c.cycles) << c.processor << " " << RegimeName(c.regime);
        EXPECT_EQ(cell->errorCycles, c.errors) << c.processor << " " << RegimeName(c.regime);
    }
    ASSERT_EQ(tally.Migrated().count(Regime::Light), 1u);
    EXPECT_EQ(tally.Migrated().at(Regime::Light).cycles, 1u);
    EXPECT_EQ(tally.Migrated().at(Regime::Light).errorCycles, 1u);
    EXPECT_EQ(tally.Migrated().count(Regime::Heavy), 0u);
    const std::vector<SweepTally::Key> failures = {{kFaulty, Regime::Heavy}};
    EXPECT_EQ(tally.Failures(), failures);
}

std::vector<double> OneSlowAmong(std::size_t n) {
    std::vector<double> samples(n, 3.4e9);
    samples[n / 2] = 0.76e9;  // a sample that lost its processor mid-measurement
    samples[1] = 3.3e9;
    return samples;
}

TEST(Attribution, ClocksSummariseAsMinimumPercentileAndMedian) {
    const struct {
        std::vector<double> samples;
        std::optional<double> minimum, median, percentile5;
    } cases[] = {
        {{}, std::nullopt, std::nullopt, std::nullopt},
        {{3.0e9}, 3.0e9, 3.0e9, 3.0e9},
        {{4.0e9, 2.0e9, 3.0e9}, 2.0e9, 3.0e9, 2.0e9},
        {{4.0e9, 1.0e9, 3.0e9, 2.0e9}, 1.0e9, 2.5e9, 1.0e9},
        // One bad sample in forty moves the minimum, not the 5th percentile.
        {OneSlowAmong(40), 0.76e9, 3.4e9, 3.3e9},
    };
    for (const auto& c : cases) {
        const std::optional<ClockSummary> summary = SummariseClocks(c.samples);
        ASSERT_EQ(summary.has_value(), c.minimum.has_value()) << c.samples.size();
        if (!summary) continue;
        EXPECT_EQ(summary->minimumHz, *c.minimum);
        EXPECT_EQ(summary->medianHz, *c.median);
        EXPECT_EQ(summary->percentile5Hz, *c.percentile5);
        EXPECT_EQ(summary->samples, c.samples.size());
    }
}

TEST(Attribution, RetestsClassifyAFaultInKOfNRepeats) {
    const struct {
        unsigned repeats;
        std::vector<unsigned> failing;  // which repeats the fault is injected into
        unsigned runs;                  // repeats that can run before the sweep is stopped
        const char* verdict;
    } cases[] = {
        {3, {0, 1, 2}, 3, "reproducible (3 of 3)"},
        {3, {1}, 3, "reproducible (1 of 3)"},
        {5, {0, 4}, 5, "reproducible (2 of 5)"},
        {3, {}, 3, "intermittent (0 of 3)"},
        {1, {}, 1, "intermittent (0 of 1)"},
        // A repeat that could not run is no pass.
        {3, {}, 0, "not run"},
        {3, {}, 1, "intermittent (0 of 1; 2 not run)"},
        {3, {0}, 1, "reproducible (1 of 1; 2 not run)"},
    };
    for (const auto& c : cases) {
        unsigned ran = 0;
        const RetestVerdict verdict =
            Retest(c.repeats, [&](unsigned repeat) -> std::optional<bool> {
                if (repeat >= c.runs) return std::nullopt;
                ++ran;
                for (unsigned f : c.failing)
                    if (f == repeat) return true;
                return false;
            });
        EXPECT_EQ(ran, c.runs);
        EXPECT_EQ(verdict.ran, c.runs);
        EXPECT_EQ(verdict.Text(), c.verdict);
        EXPECT_EQ(verdict.Reproducible(), !c.failing.empty());
    }
}

}  // namespace
