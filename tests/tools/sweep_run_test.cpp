// Whole sweeps with short slots: injected faults charged to their processor and
// regime, a migrated cycle charged to none, retests, the temperature stop, and
// the reports.
#include "tools/stress/sweep.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "tests/tools/ocp_checks.h"
#include "tests/tools/sweep_fixture.h"
#include "tools/stress/platform.h"
#include "tools/stress/sweep_journal.h"

namespace {

using namespace sweep_fixture;

constexpr CycleFault kOnePass{FlipLowestBit, false};

// Injected readings: the k10temp layout at a fixed temperature.
std::vector<TempReading> Warm() {
    return {{"k10temp", "Tctl", 61.5, false}, {"nvme", "Composite", 80, false}};
}

// A sweep of `regimes` (with `retests`) in slots of `slot` seconds under warm
// readings, each of `faults` moved onto processor `p`.
std::pair<SweepOptions, SweepSeams> Plan(std::vector<Regime> regimes, double slot,
                                         unsigned retests = 0,
                                         const std::vector<SweepFault>& faults = {}, int p = 0) {
    std::pair<SweepOptions, SweepSeams> plan;
    plan.first.sweep = true;
    plan.first.regimes = std::move(regimes);
    plan.first.retests = retests;
    plan.second.slotSeconds = slot;
    plan.second.temperatures = Warm;
    for (SweepFault f : faults) {
        f.processor = p;
        plan.second.faults.push_back(f);
    }
    return plan;
}

struct Case {
    const char* name;
    std::vector<SweepFault> faults;  // processor -1: the last usable one
    unsigned retests;
    std::uint64_t migrateCycle;  // of the light regime; 0: none migrates
    std::uint64_t heavyErrors, lightErrors, migratedCycles, migratedErrors;
    const char* retest;  // the verdict on (P, heavy), or "" for none
};

TEST(SweepRun, ChargesFaultsAndRetestsThem) {
    const Case cases[] = {
        {"one fault", {{-1, Regime::Heavy, 0, 2, kOnePass}}, 0, 0, 1, 0, 0, 0, ""},
        {"reproducible",
         {{-1, Regime::Heavy, 0, 2, kOnePass},
          {-1, Regime::Heavy, 1, 1, kOnePass},
          {-1, Regime::Heavy, 3, 2, kOnePass}},
         3,
         0,
         1,
         0,
         0,
         0,
         "reproducible (2 of 3)"},
        {"intermittent",
         {{-1, Regime::Heavy, 0, 2, kOnePass}},
         2,
         0,
         1,
         0,
         0,
         0,
         "intermittent (0 of 2)"},
        {"migrated", {{-1, Regime::Light, 0, 3, kOnePass}}, 0, 3, 0, 0, 1, 1, ""},
        {"clean", {}, 2, 0, 0, 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        const RunSetup setup = Machine();
        const int p = setup.processors.back();
        auto [options, seams] = Plan({Regime::Light, Regime::Heavy}, 0.25, c.retests, c.faults, p);
        const std::uint64_t migrate = c.migrateCycle;
        seams.processorSeen = [p, migrate](int pinned, std::uint64_t cycle, bool after) {
            // Only the light step of P runs the complex-math worker's short cycles
            // this far in the test's slot; moving after cycle `migrate` is the fault.
            return pinned == p && after && cycle == migrate ? pinned + 1000 : pinned;
        };
        std::ostringstream out;
        const std::atomic<bool> interrupt{false};
        const auto journal = std::make_shared<Captured>();
        const SweepResult r = RunSweep(setup, options, out, interrupt, seams, Capture(journal));
        SCOPED_TRACE(c.name);

        for (int q : setup.processors) {
            for (Regime regime : options.regimes) {
                const SweepCell* cell = r.tally.Find(q, regime);
                ASSERT_NE(cell, nullptr) << q << " " << RegimeName(regime);
                EXPECT_GT(cell->cycles, 0u);
                const std::uint64_t expected = q != p                    ? 0
                                               : regime == Regime::Heavy ? c.heavyErrors
                                                                         : c.lightErrors;
                EXPECT_EQ(cell->errorCycles, expected) << q << " " << RegimeName(regime);
                EXPECT_FALSE(cell->clocksHz.empty());
                EXPECT_EQ(cell->highestCelsius, 61.5);
            }
        }
        const auto migrated = r.tally.Migrated().find(Regime::Light);
        EXPECT_EQ(migrated == r.tally.Migrated().end() ? 0 : migrated->second.cycles,
                  c.migratedCycles);
        EXPECT_EQ(migrated == r.tally.Migrated().end() ? 0 : migrated->second.errorCycles,
                  c.migratedErrors);

        // Every error of the sweep itself names its place and moment.
        std::size_t sweepErrors = 0;
        for (const SweepError& e : r.errors) {
            if (e.retest) continue;
            ++sweepErrors;
            EXPECT_EQ(e.processor, c.migratedErrors ? kUnknownProcessor : p);
            EXPECT_EQ(e.regime, c.faults.front().regime);
            EXPECT_EQ(e.cycle, c.faults.front().cycle);
            EXPECT_EQ(e.load, r.loads.at(e.regime));
            EXPECT_EQ(e.kind, "pass");
            EXPECT_GT(e.clockHz, 0);
            EXPECT_EQ(e.temperatureC, 61.5);
            // When in the step, and how old the temperature beside it is.
            EXPECT_GT(e.secondsIntoStep, 0);
            EXPECT_LT(e.secondsIntoStep, 0.25 + 0.2);
            ASSERT_TRUE(e.temperatureAgeSeconds.has_value());
            EXPECT_LE(*e.temperatureAgeSeconds, 0.1);
            EXPECT_FALSE(e.burstRateHz.has_value());
            if (!c.migratedErrors) {
                EXPECT_EQ(e.apicId, r.topology.Find(p)->apicId);
            }
        }
        EXPECT_EQ(sweepErrors, c.faults.empty() ? 0u : 1u);

        ASSERT_EQ(r.retests.size(), std::string(c.retest).empty() ? 0u : 1u);
        if (!r.retests.empty()) {
            EXPECT_EQ(r.retests[0].processor, p);
            EXPECT_EQ(r.retests[0].verdict.Text(), c.retest);
        }
        EXPECT_EQ(r.status, c.faults.empty() ? kExitClean : kExitErrors);
        EXPECT_EQ(r.stepsRun, r.stepsPlanned);

        // The reports: a valid OCP stream that says why it failed, and the JSON.
        std::stringstream ocp(journal->text);
        const std::vector<nlohmann::json> lines = ocp_checks::CheckStream(ocp);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back()["testRunArtifact"]["testRunEnd"]["result"],
                  c.faults.empty() ? "PASS" : "FAIL");
        const std::string& stream = journal->text;
        EXPECT_EQ(stream.find("\"FAIL\"") != std::string::npos, !c.faults.empty());
        const nlohmann::ordered_json report = SweepReport(setup, options, r);
        EXPECT_EQ(report["sweep"]["steps"].size(), setup.processors.size() * 2);
        EXPECT_EQ(report["sweep"]["errors"].size(), r.errors.size());
    }
}

constexpr CycleFault kBothPasses{FlipLowestBit, true};  // deterministic: the passes agree

// Everything that fails an ordinary run fails a sweep, with a row and a line
// that name the processor.
TEST(SweepRun, NoFailingProcessorPasses) {
    constexpr int kMine = -1;  // the last usable processor
    const struct {
        const char* name;
        std::vector<Regime> regimes;
        std::vector<SweepFault> faults;
        bool expectWrongDigest, hang, stopOnError;
        unsigned retests;
        int status;
        Regime row;           // the row of the last processor to check
        const char* verdict;  // that row's result
        const char* line;     // in the printed sweep
        std::vector<const char*> retestTexts;
        bool allSteps;  // every planned step ran
    } cases[] = {
        {"expected digest",
         {Regime::Heavy},
         {},
         true,
         false,
         false,
         0,
         kExitErrors,
         Regime::Heavy,
         "FAIL",
         ": expected digest 0x0000000000001234, computed 0x",
         {},
         true},
        {"all-core disagreement",
         {Regime::AllCore},
         {{kMine, Regime::AllCore, 0, 1, kBothPasses}},
         false,
         false,
         false,
         0,
         kExitErrors,
         Regime::AllCore,
         "FAIL",
         "disagree; no majority",
         {},
         true},
        {"light regime deterministic fault",
         {Regime::Light},
         {{kMine, Regime::Light, 0, 1, kBothPasses}},
         false,
         false,
         false,
         0,
         kExitErrors,
         Regime::Light,
         "FAIL",
         "cross-processor check:",
         {},
         true},
        {"stalled worker",
         {Regime::Light, Regime::Heavy},
         {},
         false,
         true,
         false,
         2,
         kExitErrors,
         Regime::Light,
         "STALLED",
         "finished no cycle within 300 ms",
         {"not run"},
         false},
        {"stop on error",
         {Regime::Light, Regime::Heavy},
         {{kMine, Regime::Light, 0, 2, kOnePass}},
         false,
         false,
         true,
         2,
         kExitErrors,
         Regime::Light,
         "FAIL",
         "cycle 2",
         {"not run"},
         false},
        {"all-core retested all-core too",
         {Regime::AllCore},
         {{kMine, Regime::AllCore, 0, 2, kOnePass}, {kMine, Regime::AllCore, 1, 2, kOnePass}},
         false,
         false,
         false,
         1,
         kExitErrors,
         Regime::AllCore,
         "FAIL",
         "cycle 2",
         {"intermittent (0 of 1)", "reproducible (1 of 1)"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunSetup setup = Machine();
        if (setup.processors.size() < 2) GTEST_SKIP() << "needs two logical processors";
        const int mine = setup.processors.back();
        setup.options.stopOnError = c.stopOnError;
        if (c.expectWrongDigest)
            setup.options.expectDigests = {
                {RoutineName(*RegimeLoad(setup, Regime::Heavy)), 0x1234}};
        auto [options, seams] = Plan(c.regimes, 0.25, c.retests, c.faults, mine);
        // The hung worker waits for the test's end, long after the stall limit.
        const auto release = std::make_shared<std::atomic<bool>>(false);
        if (c.hang) {
            seams.stallAfter = std::chrono::milliseconds(300);
            seams.beforeCycle = [release, mine](int p, Regime regime, unsigned, std::uint64_t n) {
                while (p == mine && regime == Regime::Light && n == 2 && !release->load())
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            };
        }
        std::ostringstream out;
        const std::atomic<bool> interrupt{false};
        const SweepResult r = RunSweep(setup, options, out, interrupt, seams);
        release->store(true);

        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.stalled, c.hang);
        const SweepCell* cell = r.tally.Find(mine, c.row);
        ASSERT_NE(cell, nullptr);
        EXPECT_STREQ(cell->Verdict(), c.verdict);
        EXPECT_EQ(r.stepsRun == r.stepsPlanned, c.allSteps);
        std::ostringstream table;
        PrintSweep(table, r);
        EXPECT_NE(table.str().find(c.line), std::string::npos) << table.str();
        EXPECT_NE(table.str().find(std::string(" ") + c.verdict + "\n"), std::string::npos);
        std::vector<std::string> retests;
        for (const RetestOutcome& t : r.retests) retests.push_back(t.verdict.Text());
        EXPECT_EQ(retests, std::vector<std::string>(c.retestTexts.begin(), c.retestTexts.end()));
        const nlohmann::ordered_json report = SweepReport(setup, options, r);
        EXPECT_EQ(report["result"], "FAIL");
    }
}

// The stop ends the sweep early; an error found before it still fails the sweep.
TEST(SweepRun, MaxTempStopsTheSweep) {
    struct HotCase {
        bool fault;  // in the first step's second cycle, long before the limit
        int status;
        const char *result, *ocpResult;
    };
    const HotCase cases[] = {
        {false, kExitTooHot, "Result: STOPPED, too hot", "NOT_APPLICABLE"},
        {true, kExitErrors, "Result: FAIL", "FAIL"},
    };
    for (const HotCase& c : cases) {
        const RunSetup setup = Machine();
        SweepOptions options;
        options.sweep = true;
        options.maxTempCelsius = 90;
        SweepSeams seams;
        seams.slotSeconds = 0.6;
        if (c.fault)
            seams.faults.push_back({setup.processors.front(), Regime::Light, 0, 2, kOnePass});
        double celsius = 75;
        seams.temperatures = [&celsius] {
            celsius += 5;  // read about once a second: 80, 85, 90
            return std::vector<TempReading>{{"coretemp", "Package id 0", celsius, false}};
        };
        std::ostringstream out;
        const std::atomic<bool> interrupt{false};
        const auto journal = std::make_shared<Captured>();
        const SweepResult r = RunSweep(setup, options, out, interrupt, seams, Capture(journal));
        SCOPED_TRACE(c.fault ? "with a fault" : "clean");
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.errors.size(), c.fault ? 1u : 0u);
        EXPECT_LT(r.stepsRun, r.stepsPlanned);
        EXPECT_EQ(r.highestCelsius, 90.0);
        EXPECT_NE(r.stopMessage.find("90.0 C (coretemp Package id 0)"), std::string::npos)
            << r.stopMessage;
        std::ostringstream table;
        PrintSweep(table, r);
        EXPECT_NE(table.str().find(c.result), std::string::npos) << table.str();
        std::stringstream ocp(journal->text);
        const std::vector<nlohmann::json> lines = ocp_checks::CheckStream(ocp);
        ASSERT_FALSE(lines.empty());
        const auto end = lines.back()["testRunArtifact"]["testRunEnd"];
        EXPECT_EQ(end["status"], "ERROR");
        EXPECT_EQ(end["result"], c.ocpResult);
    }
}

TEST(SweepRun, RefusesALimitNoSensorCanWatch) {
    SweepOptions options;
    options.sweep = true;
    options.maxTempCelsius = 90;
    SweepSeams seams;
    seams.temperatures = [] { return std::vector<TempReading>{}; };
    std::ostringstream out;
    const std::atomic<bool> interrupt{false};
    const SweepResult r = RunSweep(Machine(), options, out, interrupt, seams);
    EXPECT_EQ(r.status, kExitCouldNotRun);
    EXPECT_EQ(r.stepsRun, 0u);
    EXPECT_NE(r.stopMessage.find("cannot be watched"), std::string::npos);
}

}  // namespace

namespace {

TEST(SweepRun, OptionsAreTakenOutOfTheCommandLine) {
    const struct {
        std::vector<std::string> args, rest;
        bool sweep;
        unsigned seconds, retests;
        std::optional<double> maxTemp;
        std::size_t regimes;
        const char* error;  // empty: accepted
    } cases[] = {
        {{"--seconds", "5"}, {"--seconds", "5"}, false, 60, 0, std::nullopt, 4, ""},
        {{"--sweep", "--sweep-seconds", "5", "--json", "f"},
         {"--json", "f"},
         true,
         5,
         0,
         std::nullopt,
         4,
         ""},
        {{"--sweep", "--regimes", "heavy,light", "--retest", "3"},
         {},
         true,
         60,
         3,
         std::nullopt,
         2,
         ""},
        {{"--max-temp", "95", "--quiet"}, {"--quiet"}, false, 60, 0, 95.0, 4, ""},
        {{"--sweep", "--sweep-seconds", "0"},
         {},
         false,
         0,
         0,
         std::nullopt,
         0,
         "--sweep-seconds needs a whole number of seconds, 1 or more"},
        {{"--sweep", "--max-temp", "151"},
         {},
         false,
         0,
         0,
         std::nullopt,
         0,
         "--max-temp needs a whole number of degrees, up to 150"},
        {{"--sweep", "--retest"},
         {},
         false,
         0,
         0,
         std::nullopt,
         0,
         "--retest needs a whole number"},
        {{"--sweep", "--regimes", "idle"},
         {},
         false,
         0,
         0,
         std::nullopt,
         0,
         "unknown regime 'idle' (known: light, heavy, bursts, all-core)"},
        {{"--retest", "2"},
         {},
         false,
         0,
         0,
         std::nullopt,
         0,
         "--sweep-seconds, --regimes and --retest belong to --sweep"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.args;
        const auto parsed = ExtractSweepOptions(args);
        if (*c.error) {
            ASSERT_TRUE(std::holds_alternative<UsageError>(parsed)) << c.error;
            EXPECT_EQ(std::get<UsageError>(parsed).message, c.error);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<SweepOptions>(parsed)) << c.args.front();
        const SweepOptions& o = std::get<SweepOptions>(parsed);
        EXPECT_EQ(args, c.rest);
        EXPECT_EQ(o.sweep, c.sweep);
        EXPECT_EQ(o.seconds, c.seconds);
        EXPECT_EQ(o.retests, c.retests);
        EXPECT_EQ(o.maxTempCelsius, c.maxTemp);
        EXPECT_EQ(o.regimes.size(), c.regimes);
    }
}

}  // namespace

namespace {

// --cpus and --one-per-core: lists as a user writes them, and siblings left idle.
TEST(SweepRun, ProcessorsAreChosenByListAndByCore) {
    // Two cores of two threads each, and processor 4 whose core is unknown.
    const Topology topology({{0, 0, 0, 0, {}},
                             {1, 1, 0, 0, {}},
                             {2, 0, 0, 0, {}},
                             {3, 1, 0, 0, {}},
                             {4, -1, -1, -1, {}}});
    const std::vector<int> usable{0, 1, 2, 3, 4};
    const struct {
        const char* list;  // "": no --cpus
        bool onePerCore;
        std::vector<int> chosen;
        const char* error;
    } cases[] = {
        {"", false, {0, 1, 2, 3, 4}, ""},
        {"3,0-1", false, {0, 1, 3}, ""},
        {"1-1,1", false, {1}, ""},
        {"", true, {0, 1, 4}, ""},
        {"2-3", true, {2, 3}, ""},
        {"0-7", false, {}, "--cpus: processor 5 is not usable here (usable: 0, 1, 2, 3 and 4)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        StressOptions options;
        if (*c.list) options.cpus = ParseProcessorList(c.list);
        options.onePerCore = c.onePerCore;
        const auto choice = ChooseProcessors(usable, options, topology);
        if (*c.error) {
            ASSERT_TRUE(std::holds_alternative<std::string>(choice));
            EXPECT_EQ(std::get<std::string>(choice), c.error);
        } else {
            ASSERT_TRUE(std::holds_alternative<std::vector<int>>(choice));
            EXPECT_EQ(std::get<std::vector<int>>(choice), c.chosen);
        }
    }
    for (const char* bad : {"", "3-1", "a", "1,", "-2", "1-2-3", "4096"})
        EXPECT_TRUE(ParseProcessorList(bad).empty()) << bad;
}

}  // namespace

namespace {

// Corrected errors under load: /proc/interrupts' lines per processor, and a
// rise during a step shown beside it; "not available" where none are kept.
TEST(SweepRun, MachineCheckCountsRiseBesideTheirStep) {
    const char* const interrupts =
        "           CPU0       CPU2       \n"
        "  0:         40          0   IO-APIC    2-edge      timer\n"
        "MCE:          1          7   Machine check exceptions\n"
        "THR:          2          0   Threshold APIC interrupts\n"
        "DFR:          0          1   Deferred Error APIC interrupts\n";
    const MachineCheckCounts parsed = ParseInterrupts(interrupts);
    EXPECT_EQ(parsed.perProcessor, (std::map<int, std::uint64_t>{{0, 3}, {2, 8}}));
    EXPECT_FALSE(ParseInterrupts("           CPU0\n  0:   40   timer\n").Available());
    EXPECT_FALSE(ParseInterrupts("").Available());

    for (bool readable : {true, false}) {
        const RunSetup setup = Machine();
        const int p = setup.processors.back();
        auto [options, seams] = Plan({Regime::Light}, 0.1);
        // Each reading finds two more corrected errors on the last processor.
        auto readings = std::make_shared<std::uint64_t>(0);
        seams.machineChecks = [readable, readings, p] {
            MachineCheckCounts counts;
            if (readable) counts.perProcessor[p] = 2 * (*readings)++;
            return counts;
        };
        std::ostringstream out;
        const std::atomic<bool> interrupt{false};
        const SweepResult r = RunSweep(setup, options, out, interrupt, seams);
        const SweepCell* cell = r.tally.Find(p, Regime::Light);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->machineChecks, readable ? std::optional<std::uint64_t>(2) : std::nullopt);
        std::ostringstream table;
        PrintSweep(table, r);
        EXPECT_EQ(table.str().find("(mce): not available") != std::string::npos, !readable);
    }
}

}  // namespace

namespace {

// The bursts regime: each rate step's achieved rate and duty in the cell, the
// table, the JSON and the stream (read back as --resume reads it), and an
// error in it carries its rate.
TEST(SweepRun, BurstsReportTheRateAndDutyEachStepAchieved) {
    RunSetup setup = Machine();
    setup.processors.resize(1);
    const int p = setup.processors.front();
    auto [options, seams] =
        Plan({Regime::Bursts}, 0.25, 0, {{0, Regime::Bursts, 0, 3, kOnePass}}, p);
    std::ostringstream out;
    const std::atomic<bool> interrupt{false};
    const auto journal = std::make_shared<Captured>();
    const SweepResult r = RunSweep(setup, options, out, interrupt, seams, Capture(journal));

    const SweepCell* cell = r.tally.Find(p, Regime::Bursts);
    ASSERT_NE(cell, nullptr);
    const auto first = static_cast<std::size_t>(FirstBurstStep(0.25));
    ASSERT_EQ(cell->bursts.size(), BurstRates().size() - first);
    for (std::size_t k = 0; k < cell->bursts.size(); ++k)
        EXPECT_EQ(cell->bursts[k].plannedRateHz, BurstRates()[first + k]);
    ASSERT_EQ(r.errors.size(), 1u);
    ASSERT_TRUE(r.errors[0].burstRateHz.has_value());
    EXPECT_GE(*r.errors[0].burstRateHz, BurstRates()[first]);

    std::ostringstream table;
    PrintSweep(table, r);
    EXPECT_NE(
        table.str().find("Bursts cpu " + std::to_string(p) + ", rate and duty achieved: 50 Hz "),
        std::string::npos)
        << table.str();
    const nlohmann::ordered_json report = SweepReport(setup, options, r);
    EXPECT_EQ(report["sweep"]["steps"][0]["bursts"], BurstsJson(cell->bursts));

    std::istringstream stream(journal->text);
    const auto read = ReadSweepJournal(stream, "stream");
    ASSERT_TRUE(std::holds_alternative<JournalContents>(read)) << std::get<std::string>(read);
    const JournalContents& contents = std::get<JournalContents>(read);
    ASSERT_EQ(contents.steps.size(), 1u);
    const SweepCell* kept = contents.steps[0].tally.Find(p, Regime::Bursts);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(BurstsJson(kept->bursts), BurstsJson(cell->bursts));
}

}  // namespace

namespace {

// A run's workers are pinned to the processors --cpus chose, and run nowhere
// else: where each worker found itself before and after every cycle is kept.
TEST(SweepRun, RunWorkersStayOnTheChosenProcessors) {
    const std::vector<int> usable = UsableProcessors();
    const int first = usable.front(), last = usable.back();
    const struct {
        const char* name;
        std::vector<int> cpus;
        Placement placement;
        std::vector<std::string> loads;
    } cases[] = {
        {"the dialog's table on the last", {last}, Placement::Table, {}},
        {"every chosen processor", {first, last}, Placement::AllCpus, {}},
        {"a chosen load on the last", {last}, Placement::Table, {"int"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunSetup setup;
        setup.options.seconds = 0;  // until every worker finished two cycles
        setup.options.cpus = c.cpus;
        setup.options.placement = c.placement;
        setup.options.loads = c.loads;
        setup.options.extraMatrix = 1;
        const auto chosen = ChooseProcessors(usable, setup.options, Topology{});
        ASSERT_TRUE(std::holds_alternative<std::vector<int>>(chosen));
        setup.processors = std::get<std::vector<int>>(chosen);
        const std::set<int> allowed(c.cpus.begin(), c.cpus.end());
        auto seen = std::make_shared<std::map<std::size_t, std::set<int>>>();
        auto guard = std::make_shared<std::mutex>();
        RunSeams seams;
        seams.tick = std::chrono::milliseconds(10);
        seams.currentProcessor = [seen, guard](std::size_t worker) {
            const int now = CurrentProcessor();
            std::lock_guard<std::mutex> lock(*guard);
            (*seen)[worker].insert(now);
            return now;
        };
        seams.until = [](const RunResult& r) {
            for (const auto& w : r.workers)
                if (w->cycles < 2 && !w->finished) return false;
            return true;
        };
        std::ostringstream out;
        const std::atomic<bool> interrupt{false};
        const RunResult r = RunStress(setup, out, false, interrupt, seams);
        ASSERT_FALSE(r.workers.empty());
        for (std::size_t i = 0; i < r.workers.size(); ++i) {
            EXPECT_EQ(allowed.count(r.workers[i]->pinnedProcessor), 1u) << "worker " << i;
            std::lock_guard<std::mutex> lock(*guard);
            EXPECT_FALSE((*seen)[i].empty()) << "worker " << i;
            for (int p : (*seen)[i]) {
                if (p >= 0) {
                    EXPECT_EQ(allowed.count(p), 1u) << "worker " << i << " ran on " << p;
                }
            }
        }
    }
}

}  // namespace
