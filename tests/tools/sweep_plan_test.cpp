// The sweep's steps and the bursts regime's schedule, read from tables.
#include "tools/stress/sweep_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using R = Regime;
constexpr int kAll = kAllProcessors;

TEST(SweepPlan, VisitsEachProcessorThroughItsRegimesThenAllAtOnce) {
    const struct {
        std::vector<int> processors;
        std::vector<Regime> regimes;
        unsigned seconds;
        std::vector<SweepStep> plan;
    } cases[] = {
        {{0, 1},
         AllRegimes(),
         60,
         {{0, R::Light, 60},
          {0, R::Heavy, 60},
          {0, R::Bursts, 60},
          {1, R::Light, 60},
          {1, R::Heavy, 60},
          {1, R::Bursts, 60},
          {kAll, R::AllCore, 60}}},
        {{2, 5, 7}, {R::Heavy}, 5, {{2, R::Heavy, 5}, {5, R::Heavy, 5}, {7, R::Heavy, 5}}},
        {{0, 1}, {R::AllCore}, 10, {{kAll, R::AllCore, 10}}},
        {{3}, {R::Light, R::AllCore}, 1, {{3, R::Light, 1}, {kAll, R::AllCore, 1}}},
        {{}, {R::Light}, 60, {}},
    };
    for (const auto& c : cases) {
        const std::vector<SweepStep> plan = PlanSweep(c.processors, c.regimes, c.seconds);
        ASSERT_EQ(plan.size(), c.plan.size()) << c.seconds;
        for (std::size_t i = 0; i < plan.size(); ++i)
            EXPECT_TRUE(plan[i] == c.plan[i])
                << i << ": " << plan[i].processor << " " << RegimeName(plan[i].regime);
    }
}

TEST(SweepPlan, RegimeListsParseInSweepOrder) {
    const struct {
        const char* list;
        std::vector<Regime> regimes;  // empty: a usage error
    } cases[] = {
        {"light,heavy,bursts,all-core", {R::Light, R::Heavy, R::Bursts, R::AllCore}},
        {"bursts,light", {R::Light, R::Bursts}},
        {"heavy,heavy", {R::Heavy}},
        {"all-core", {R::AllCore}},
        {"", {}},
        {"light,", {}},
        {"fast", {}},
        {"Light", {}},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseRegimes(c.list);
        if (c.regimes.empty()) {
            ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << c.list;
            EXPECT_NE(std::get<std::string>(parsed).find("light, heavy, bursts, all-core"),
                      std::string::npos);
        } else {
            ASSERT_TRUE(std::holds_alternative<std::vector<Regime>>(parsed)) << c.list;
            EXPECT_EQ(std::get<std::vector<Regime>>(parsed), c.regimes) << c.list;
        }
    }
}

// Walks the schedule edge to edge over a whole slot: each step must switch on
// and off once per period at its rate, on for half of every period.
TEST(BurstSchedule, StepsFromOneHertzToAThousandAtHalfDuty) {
    const struct {
        double slot;
        int firstStep;  // into 1 2 5 10 20 50 100 200 500 1000
    } cases[] = {{60, 0}, {10, 0}, {5, 1}, {1, 3}, {0.001, 9}};
    for (const auto& c : cases) {
        EXPECT_EQ(FirstBurstStep(c.slot), c.firstStep) << c.slot;
        const int steps = static_cast<int>(BurstRates().size()) - c.firstStep;
        std::vector<int> onSwitches(BurstRates().size(), 0);
        std::vector<double> onTime(BurstRates().size(), 0);
        double t = 0;
        int edges = 0;
        while (t < c.slot && edges < 1000000) {
            const BurstPhase phase = BurstAt(t, c.slot);
            ASSERT_GT(phase.nextEdge, t) << c.slot << " at " << t;
            const auto step = static_cast<std::size_t>(phase.step);
            EXPECT_DOUBLE_EQ(phase.rateHz, BurstRates()[step]);
            EXPECT_DOUBLE_EQ(phase.duty, 0.5);
            if (phase.on) {
                ++onSwitches[step];
                onTime[step] += std::min(phase.nextEdge, c.slot) - t;
            }
            t = phase.nextEdge;
            ++edges;
        }
        const double stepSeconds = c.slot / steps;
        for (int s = c.firstStep; s < static_cast<int>(BurstRates().size()); ++s) {
            const auto i = static_cast<std::size_t>(s);
            const double periods = stepSeconds * BurstRates()[i];
            EXPECT_EQ(onSwitches[i], static_cast<int>(std::ceil(periods - 1e-6)))
                << c.slot << " s, " << BurstRates()[i] << " Hz";
            if (periods >= 1) {
                EXPECT_NEAR(onTime[i] / stepSeconds, 0.5, 0.5 / periods)
                    << c.slot << " s, " << BurstRates()[i] << " Hz";
            }
        }
        for (int s = 0; s < c.firstStep; ++s) EXPECT_EQ(onSwitches[static_cast<std::size_t>(s)], 0);
    }
}

// Cycles as a gate that looks only before each cycle lets them run: a cycle of
// `cycleMs` starts whenever the schedule is on as the last one ends, so a long
// cycle runs on through the off phase. `cycleMs` 0: each on phase run whole;
// below 0: nothing ran.
BurstTally Ran(double slot, double cycleMs) {
    BurstTally cycles(slot);
    bool waited = false;
    for (double t = 0; t < slot && cycleMs >= 0;) {
        const BurstPhase phase = BurstAt(t, slot);
        if (!phase.on) {
            t = phase.nextEdge;
            waited = true;
            continue;
        }
        const double end = cycleMs > 0 ? t + cycleMs / 1000 : phase.nextEdge;
        cycles.Begin(t, waited);
        cycles.End(end);
        waited = false;
        t = end;
    }
    return cycles;
}

// Each rate step reports the rate and duty it achieved; a cycle too long for
// the rate leaves it not reached.
TEST(BurstSchedule, EachRateStepReportsWhatItAchieved) {
    const struct {
        const char* name;
        double slot, cycleMs, covered;
        const char* reached;  // per rate step from the first: 1 reached, 0 not
    } cases[] = {
        {"each on phase whole", 10, 0, 10, "1111111111"},
        {"each on phase whole, partial periods", 5, 0, 5, "111111111"},
        // The load: a 1000 Hz step that switches about 140 times a second.
        {"3.3 ms cycles", 10, 3.3, 10, "1111111100"},
        {"nothing ran", 10, -1, 10, "0000000000"},
        {"short cycles, 3 s", 3, 0.2, 3, "11111111"},
        {"cut short after four steps", 10, 0, 4.5, "1111"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<BurstAchieved> achieved = Ran(c.slot, c.cycleMs).Achieved(c.covered);
        ASSERT_EQ(achieved.size(), std::strlen(c.reached));
        const auto first = static_cast<std::size_t>(FirstBurstStep(c.slot));
        for (std::size_t k = 0; k < achieved.size(); ++k) {
            const BurstAchieved& a = achieved[k];
            SCOPED_TRACE(a.plannedRateHz);
            EXPECT_EQ(a.plannedRateHz, BurstRates()[first + k]);
            EXPECT_EQ(a.reached, c.reached[k] == '1');
            EXPECT_NEAR(a.plannedDuty, 0.5, 0.5 * c.slot / 10);  // a cut last period adds some
            if (c.cycleMs == 0) {
                EXPECT_DOUBLE_EQ(a.rateHz, a.plannedRateHz);
                EXPECT_NEAR(a.duty, a.plannedDuty, 1e-9);
            }
            if (c.cycleMs < 0) {
                EXPECT_EQ(a.rateHz + a.duty, 0);
            }
        }
        if (c.cycleMs == 3.3) {
            EXPECT_LT(achieved.back().rateHz, 200);
            EXPECT_GT(achieved.back().duty, 0.9);
        }
    }
}

}  // namespace
