// A cycle whose processor cannot be checked (the platform does not say) is
// charged to its pin: the pin was accepted, and nothing says it moved.
#include "tools/stress/attribution.h"

#include <algorithm>

std::optional<int> ChargedProcessor(const CyclePlace& place) {
    if (place.pinned == kUnknownProcessor) return std::nullopt;
    for (int seen : {place.before, place.after})
        if (seen != kUnknownProcessor && seen != place.pinned) return std::nullopt;
    return place.pinned;
}

void SweepTally::AddCycle(Regime regime, const CyclePlace& place, bool failed) {
    const std::optional<int> processor = ChargedProcessor(place);
    SweepCell& cell = processor ? cells_[{*processor, regime}] : migrated_[regime];
    ++cell.cycles;
    if (failed) ++cell.errorCycles;
}

void SweepTally::AddClock(Regime regime, int processor, double hz) {
    cells_[{processor, regime}].clocksHz.push_back(hz);
}

void SweepTally::AddTemperature(Regime regime, int processor, double celsius) {
    std::optional<double>& highest = cells_[{processor, regime}].highestCelsius;
    if (!highest || celsius > *highest) highest = celsius;
}

namespace {

void MergeCell(SweepCell& into, const SweepCell& from) {
    into.cycles += from.cycles;
    into.errorCycles += from.errorCycles;
    into.clocksHz.insert(into.clocksHz.end(), from.clocksHz.begin(), from.clocksHz.end());
    into.clocksDiscarded += from.clocksDiscarded;
    if (from.highestCelsius &&
        (!into.highestCelsius || *from.highestCelsius > *into.highestCelsius))
        into.highestCelsius = from.highestCelsius;
    into.failedChecks += from.failedChecks;
    into.stalled = into.stalled || from.stalled;
    into.machineStopped = into.machineStopped || from.machineStopped;
    if (from.machineChecks)
        into.machineChecks = into.machineChecks.value_or(0) + *from.machineChecks;
    if (!from.bursts.empty()) into.bursts = from.bursts;  // one bursts step per processor
}

}  // namespace

void SweepTally::Merge(const SweepTally& other) {
    for (const auto& [key, cell] : other.cells_) MergeCell(cells_[key], cell);
    for (const auto& [regime, cell] : other.migrated_) MergeCell(migrated_[regime], cell);
}

const SweepCell* SweepTally::Find(int processor, Regime regime) const {
    const auto it = cells_.find({processor, regime});
    return it == cells_.end() ? nullptr : &it->second;
}

std::vector<SweepTally::Key> SweepTally::Failures() const {
    std::vector<Key> failures;
    for (const auto& [key, cell] : cells_)
        if (cell.Failed() && !cell.machineStopped) failures.push_back(key);
    return failures;
}

std::optional<ClockSummary> SummariseClocks(std::vector<double> samplesHz) {
    if (samplesHz.empty()) return std::nullopt;
    std::sort(samplesHz.begin(), samplesHz.end());
    const std::size_t n = samplesHz.size();
    const double median = n % 2 ? samplesHz[n / 2] : (samplesHz[n / 2 - 1] + samplesHz[n / 2]) / 2;
    const std::size_t rank = (n * 5 + 99) / 100;  // ceil(5 % of n), at least 1
    return ClockSummary{samplesHz.front(), samplesHz[rank - 1], median, n};
}

const char* SweepCell::Verdict() const {
    if (machineStopped) return "MACHINE-STOPPED";
    if (stalled) return "STALLED";
    return errorCycles > 0 || failedChecks > 0 ? "FAIL" : "PASS";
}

const char* RetestVerdict::Word() const {
    if (Reproducible()) return "reproducible";
    return ran == 0 ? "not-run" : "intermittent";
}

std::string RetestVerdict::Text() const {
    if (!Reproducible() && ran == 0) return "not run";
    std::string text =
        std::string(Word()) + " (" + std::to_string(failed) + " of " + std::to_string(ran);
    if (ran < repeats) text += "; " + std::to_string(repeats - ran) + " not run";
    return text + ")";
}
