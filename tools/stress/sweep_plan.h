// The sweep as data: which processor runs which regime, in what order and for
// how long, and the on/off schedule of the bursts regime as a function of time.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// light: one scalar worker, so the core boosts as high as it will. heavy: the
// heaviest verified vector load. bursts: a load switched on and off at rising
// rates. allCore: the heavy load on every processor at once, after the rest.
enum class Regime { Light, Heavy, Bursts, AllCore };

const char* RegimeName(Regime regime);  // "light", "heavy", "bursts", "all-core"

// Every regime in the order a sweep runs them.
std::vector<Regime> AllRegimes();

// "light,bursts": the named regimes in sweep order, each once. On a bad list,
// an error message naming the known ones.
std::variant<std::vector<Regime>, std::string> ParseRegimes(const std::string& list);

constexpr int kAllProcessors = -1;

struct SweepStep {
    int processor = kAllProcessors;  // the one logical processor, or all of them
    Regime regime = Regime::Light;
    unsigned seconds = 0;
    bool operator==(const SweepStep& o) const {
        return processor == o.processor && regime == o.regime && seconds == o.seconds;
    }
};

// Each processor in turn through the per-processor regimes chosen, then the
// all-core pass if chosen; every step `seconds` long.
std::vector<SweepStep> PlanSweep(const std::vector<int>& processors,
                                 const std::vector<Regime>& regimes, unsigned seconds);

// Where the bursts regime is at one moment of its slot.
struct BurstPhase {
    int step = 0;       // index into BurstRates()
    double rateHz = 0;  // on/off periods per second in this step
    double duty = 0;    // the share of each period the load is on
    bool on = false;
    double onStart = 0;   // slot time this period's on phase began
    double nextEdge = 0;  // slot time of the next switch, on or off
};

// The rates the bursts regime steps through, 1 Hz to 1000 Hz.
const std::vector<double>& BurstRates();
constexpr double kBurstDuty = 0.5;

// The first rate a slot of `slotSeconds` starts at: the slowest whose period
// still fits whole in one step (a short slot skips the slowest rates).
int FirstBurstStep(double slotSeconds);

// The phase at time `t` (seconds from the slot's start, 0 <= t < slotSeconds).
BurstPhase BurstAt(double t, double slotSeconds);

// What one rate step of the bursts regime achieved beside what it planned: the
// rate its switches on came to (the planned rate when every planned switch
// happened) and the share of the step the load ran. A load whose
// cycle is too long for the rate cannot switch that fast: it is not reached
// (fewer than 90 % of the switches, or a duty off by more than 0.2).
struct BurstAchieved {
    double plannedRateHz = 0, rateHz = 0;
    double plannedDuty = 0, duty = 0;
    bool reached = false;
};

// One worker's bursts step, folded cycle by cycle as it runs: per rate step
// the switches on and the seconds the load ran, so a step of short cycles
// keeps nothing per cycle.
class BurstTally {
public:
    explicit BurstTally(double slotSeconds);
    // A cycle starting at `start` (slot seconds); `afterOff`: the gate held it
    // for an off phase first, so the load switched on with it.
    void Begin(double start, bool afterOff);
    // The cycle begun last ended at `end`.
    void End(double end);
    // The last ended cycle's length; 0 before any.
    double LastCycleSeconds() const { return lastSeconds_; }
    // Each rate step that ended by `coveredSeconds` (a step cut short leaves
    // the rest out).
    std::vector<BurstAchieved> Achieved(double coveredSeconds) const;

private:
    std::size_t Window(double t) const;
    double slot_;
    int first_;
    double stepSeconds_ = 0;
    std::vector<unsigned long> switches_;
    std::vector<double> on_;
    bool begun_ = false, anyBegun_ = false;
    double start_ = 0, lastSeconds_ = 0;
};
