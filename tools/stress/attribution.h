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
    unsigned clocksDiscarded = 0;          // samples left out: they lost the processor
    std::optional<double> highestCelsius;  // empty: no processor sensor readable
    unsigned failedChecks = 0;             // run-level checks that blame it: digests, disagreement
    bool stalled = false;                  // a worker stopped answering here
    bool machineStopped = false;           // the step began and the machine never ended it
    // How much the corrected-error counters rose during it; empty: not readable.
    std::optional<std::uint64_t> machineChecks;
    std::vector<BurstAchieved> bursts;  // the bursts regime: each rate step as it ran
    // The table's word for it: PASS, FAIL, STALLED or MACHINE-STOPPED.
    const char* Verdict() const;
    bool Failed() const { return errorCycles > 0 || failedChecks > 0 || stalled || machineStopped; }
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
    SweepCell& At(int processor, Regime regime) { return cells_[{processor, regime}]; }
    SweepCell& MigratedAt(Regime regime) { return migrated_[regime]; }
    // Adds another tally's cells to these (one step's to the sweep's).
    void Merge(const SweepTally& other);
    // Every (processor, regime) that failed and may be run again (not one that
    // stopped the machine), in table order.
    std::vector<Key> Failures() const;

private:
    std::map<Key, SweepCell> cells_;
    std::map<Regime, SweepCell> migrated_;
};

// The minimum, 5th percentile and median of a cell's clock samples, and
// their count; empty without samples.
// The 5th percentile rather than the minimum is what the table shows: one
// sample preempted mid-measurement reads far too low, and a minimum is one sample.
struct ClockSummary {
    double minimumHz = 0;
    double percentile5Hz = 0;  // nearest rank
    double medianHz = 0;
    std::size_t samples = 0;
};
std::optional<ClockSummary> SummariseClocks(std::vector<double> samplesHz);

// A failure run again `repeats` times: reproducible when any repeat fails
// again (k of N), intermittent when every repeat ran and none failed, not run
// when none could run (interrupted, too hot). Repeats that did not run are
// never counted as passes.
struct RetestVerdict {
    unsigned repeats = 0;
    unsigned ran = 0;
    unsigned failed = 0;
    bool Reproducible() const { return failed > 0; }
    // "reproducible (2 of 3)", "intermittent (0 of 3)", "not run",
    // "intermittent (0 of 1; 2 not run)"
    std::string Text() const;
    const char* Word() const;  // "reproducible", "intermittent", "not-run"
};

// Runs `repeat` `repeats` times and classifies: it answers true when that
// repeat failed, false when it passed, nothing when it could not run.
template <typename Repeat>
RetestVerdict Retest(unsigned repeats, Repeat&& repeat) {
    RetestVerdict verdict;
    verdict.repeats = repeats;
    for (unsigned i = 0; i < repeats; ++i) {
        const std::optional<bool> failed = repeat(i);
        if (!failed) continue;
        ++verdict.ran;
        if (*failed) ++verdict.failed;
    }
    return verdict;
}
