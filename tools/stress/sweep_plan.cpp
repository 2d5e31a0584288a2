// The rates step through a 1-2-5 series so each decade gets the same number of
// steps; every step gets an equal share of the slot.
#include "tools/stress/sweep_plan.h"

#include <algorithm>
#include <cmath>

namespace {
// A time that lands on an edge by repeated addition may fall a rounding short of
// it (or, with x87's wider registers, an edge a rounding past it); it counts as
// the edge, so walking edge to edge always moves forward.
constexpr double kEdgeSlack = 1e-9;
}  // namespace

const char* RegimeName(Regime regime) {
    switch (regime) {
        case Regime::Light:
            return "light";
        case Regime::Heavy:
            return "heavy";
        case Regime::Bursts:
            return "bursts";
        case Regime::AllCore:
            return "all-core";
    }
    return "?";
}

std::vector<Regime> AllRegimes() {
    return {Regime::Light, Regime::Heavy, Regime::Bursts, Regime::AllCore};
}

std::variant<std::vector<Regime>, std::string> ParseRegimes(const std::string& list) {
    std::vector<bool> chosen(AllRegimes().size(), false);
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = list.find(',', start);
        const std::string name = list.substr(start, comma - start);
        bool known = false;
        for (Regime regime : AllRegimes()) {
            if (name == RegimeName(regime)) {
                chosen[static_cast<std::size_t>(regime)] = true;
                known = true;
            }
        }
        if (!known) return "unknown regime '" + name + "' (known: light, heavy, bursts, all-core)";
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    std::vector<Regime> regimes;
    for (Regime regime : AllRegimes())
        if (chosen[static_cast<std::size_t>(regime)]) regimes.push_back(regime);
    return regimes;
}

std::vector<SweepStep> PlanSweep(const std::vector<int>& processors,
                                 const std::vector<Regime>& regimes, unsigned seconds) {
    std::vector<SweepStep> plan;
    for (int processor : processors)
        for (Regime regime : regimes)
            if (regime != Regime::AllCore) plan.push_back({processor, regime, seconds});
    for (Regime regime : regimes)
        if (regime == Regime::AllCore) plan.push_back({kAllProcessors, regime, seconds});
    return plan;
}

const std::vector<double>& BurstRates() {
    static const std::vector<double> rates = {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000};
    return rates;
}

int FirstBurstStep(double slotSeconds) {
    const int count = static_cast<int>(BurstRates().size());
    for (int first = 0; first < count - 1; ++first) {
        const double stepSeconds = slotSeconds / (count - first);
        if (stepSeconds * BurstRates()[static_cast<std::size_t>(first)] >= 1) return first;
    }
    return count - 1;
}

BurstPhase BurstAt(double t, double slotSeconds) {
    const int first = FirstBurstStep(slotSeconds);
    const int steps = static_cast<int>(BurstRates().size()) - first;
    const double stepSeconds = slotSeconds / steps;
    int index = static_cast<int>(std::floor(t / stepSeconds + kEdgeSlack));
    if (index < 0) index = 0;
    if (index >= steps) index = steps - 1;
    BurstPhase phase;
    phase.step = first + index;
    phase.rateHz = BurstRates()[static_cast<std::size_t>(phase.step)];
    phase.duty = kBurstDuty;
    const double stepStart = index * stepSeconds;
    const double period = 1 / phase.rateHz;
    const double periods = std::floor((t - stepStart) * phase.rateHz + kEdgeSlack);
    const double periodStart = stepStart + periods * period;
    const double onEnd = periodStart + phase.duty * period;
    phase.on = t < onEnd - kEdgeSlack;
    phase.onStart = periodStart;
    phase.nextEdge = phase.on ? onEnd : periodStart + period;
    // A step's last period may be cut short by the next step, which starts on.
    const double stepEnd = stepStart + stepSeconds;
    if (phase.nextEdge > stepEnd) phase.nextEdge = stepEnd;
    return phase;
}

BurstTally::BurstTally(double slotSeconds)
    : slot_(slotSeconds),
      first_(FirstBurstStep(slotSeconds)),
      switches_(BurstRates().size() - static_cast<std::size_t>(first_), 0),
      on_(switches_.size(), 0) {
    stepSeconds_ = slotSeconds / static_cast<double>(on_.size());
}

std::size_t BurstTally::Window(double t) const {
    const auto k = static_cast<std::size_t>(BurstAt(t, slot_).step - first_);
    return std::min(k, on_.size() - 1);
}

void BurstTally::Begin(double start, bool afterOff) {
    begun_ = start < slot_;  // a cycle the gate let start after the slot counts nowhere
    if (!begun_) return;
    if (afterOff || !anyBegun_) ++switches_[Window(start)];
    anyBegun_ = true;
    start_ = start;
}

void BurstTally::End(double end) {
    if (!begun_) return;
    begun_ = false;
    lastSeconds_ = end - start_;
    // A cycle that runs across a step's end counts in both.
    for (std::size_t k = Window(start_); k < on_.size(); ++k) {
        const double from = std::max(start_, static_cast<double>(k) * stepSeconds_);
        const double to = std::min(end, static_cast<double>(k + 1) * stepSeconds_);
        if (to <= from) break;
        on_[k] += to - from;
    }
}

std::vector<BurstAchieved> BurstTally::Achieved(double coveredSeconds) const {
    const std::size_t steps = on_.size();
    std::vector<double> plannedOn(steps, 0);
    std::vector<unsigned long> plannedSwitches(steps, 0);
    // The schedule, edge to edge: a switch is an on phase after an off one (the
    // next rate step starts on, and where it carries an on phase on, nothing switches).
    bool wasOn = false;
    for (double t = 0; t < slot_;) {
        const BurstPhase phase = BurstAt(t, slot_);
        const double end = std::min(phase.nextEdge, slot_);
        const std::size_t k = Window(t);
        if (phase.on && !wasOn) ++plannedSwitches[k];
        if (phase.on) plannedOn[k] += end - t;
        wasOn = phase.on;
        t = end;
    }
    std::vector<BurstAchieved> achieved;
    for (std::size_t k = 0; k < steps; ++k) {
        if (static_cast<double>(k + 1) * stepSeconds_ > coveredSeconds + kEdgeSlack) break;
        BurstAchieved a;
        a.plannedRateHz = BurstRates()[k + static_cast<std::size_t>(first_)];
        // The planned rate in the share of its switches that happened, so that a
        // step whose periods do not fit it whole still reads as its rate.
        a.rateHz = plannedSwitches[k] ? a.plannedRateHz * static_cast<double>(switches_[k]) /
                                            static_cast<double>(plannedSwitches[k])
                                      : 0;
        a.plannedDuty = plannedOn[k] / stepSeconds_;
        a.duty = on_[k] / stepSeconds_;
        a.reached = static_cast<double>(switches_[k]) + 0.5 >=
                        0.9 * static_cast<double>(plannedSwitches[k]) &&
                    std::abs(a.duty - a.plannedDuty) <= 0.2;
        achieved.push_back(a);
    }
    return achieved;
}
