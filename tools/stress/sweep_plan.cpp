// The rates step through a 1-2-5 series so each decade gets the same number of
// steps; every step gets an equal share of the slot.
#include "tools/stress/sweep_plan.h"

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
    phase.nextEdge = phase.on ? onEnd : periodStart + period;
    // A step's last period may be cut short by the next step, which starts on.
    const double stepEnd = stepStart + stepSeconds;
    if (phase.nextEdge > stepEnd) phase.nextEdge = stepEnd;
    return phase;
}
