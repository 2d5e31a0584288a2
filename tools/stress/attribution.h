// Which processor a cycle counts for, the processor-by-regime tally of a sweep,
// and the verdict of the repeats that retest a failure.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/stress/sweep_plan.h"

constexpr int kUnknownProcessor = -1;

// Where one cycle ran: the processor its worker was pinned to and the one it
// was found on just before and just after the cycle (kUnknownProcessor where
// the platform cannot say).
struct CyclePlace {
    int pinned = kUnknownProcessor;
    int before = kUnknownProcessor;
    int after = kUnknownProcessor;
};

// The processor the cycle is charged to: it ran there from start to end. Empty
// when it migrated (or was never pinned), since then no one processor is to blame.
std::optional<int> ChargedProcessor(const CyclePlace& place);

// One processor-by-regime cell, or the row of cycles charged to none.
struct SweepCell {
    std::uint64_t cycles = 0;
    std::uint64_t errorCycles = 0;
    std::vector<double> clocksHz;          // effective clock samples of its workers
    std::optional<double> highestCelsius;  // empty: no processor sensor readable
};

class SweepTally {
public:
    // One finished cycle in `regime`, charged by ChargedProcessor.
    void AddCycle(Regime regime, const CyclePlace& place, bool failed);
    void AddClock(Regime regime, int processor, double hz);
    void AddTemperature(Regime regime, int processor, double celsius);

    using Key = std::pair<int, Regime>;  // processor, regime
    const std::map<Key, SweepCell>& Cells() const { return cells_; }
    // Cycles that migrated, by regime: counted, charged to no processor.
    const std::map<Regime, SweepCell>& Migrated() const { return migrated_; }
    const SweepCell* Find(int processor, Regime regime) const;
    // Every (processor, regime) with at least one failed cycle, in table order.
    std::vector<Key> Failures() const;

private:
    std::map<Key, SweepCell> cells_;
    std::map<Regime, SweepCell> migrated_;
};

// The minimum and median of a cell's clock samples; empty without samples.
struct ClockSummary {
    double minimumHz = 0;
    double medianHz = 0;
};
std::optional<ClockSummary> SummariseClocks(std::vector<double> samplesHz);

// A failure run again alone `repeats` times: reproducible when any repeat
// fails again (k of N), intermittent when none does.
struct RetestVerdict {
    unsigned repeats = 0;
    unsigned failed = 0;
    bool Reproducible() const { return failed > 0; }
    std::string Text() const;  // "reproducible (2 of 3)" / "intermittent (0 of 3)"
};

// Runs `repeat` (true: that repeat failed) `repeats` times and classifies.
template <typename Repeat>
RetestVerdict Retest(unsigned repeats, Repeat&& repeat) {
    RetestVerdict verdict;
    verdict.repeats = repeats;
    for (unsigned i = 0; i < repeats; ++i)
        if (repeat(i)) ++verdict.failed;
    return verdict;
}
