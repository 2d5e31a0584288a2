// Headless runs end to end, in-process: statuses, reports, stalls, pinning.
#include "tools/stress/runner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <thread>

#include "engine/verification.h"
#include "tools/stress/platform.h"
#include "tools/stress/report.h"
#include "tools/stress/self_test.h"

namespace {

RunSetup MakeSetup(unsigned seconds) {
    RunSetup setup;
    setup.options.seconds = seconds;
    setup.options.extraMatrix = 0;
    setup.processorName = "AMD Athlon";
    setup.clockText = "1000.00   MHZ   estimate ";
    setup.processors = UsableProcessors();
    return setup;
}

// Short ticks and stall limits keep these runs quick.
RunSeams Quick() {
    RunSeams seams;
    seams.tick = std::chrono::milliseconds(20);
    return seams;
}

const std::atomic<bool> kNoInterrupt{false};

void WaitForWorkers(const RunResult& r) {
    for (const auto& w : r.workers)
        while (!w->finished) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

TEST(StressRun, ACleanRunPassesAndCountsEveryWorkersCycles) {
    const RunSetup setup = MakeSetup(1);
    std::ostringstream live;
    const RunResult r = RunStress(setup, live, true, kNoInterrupt, Quick());
    EXPECT_EQ(r.status, kExitClean);
    EXPECT_FALSE(r.interrupted);
    ASSERT_EQ(r.workers.size(), 3u);
    for (const auto& w : r.workers) {
        EXPECT_GT(w->cycles.load(), 0u) << RoutineName(*w->load);
        EXPECT_EQ(w->errorCycles.load(), 0u);
        EXPECT_TRUE(w->finished && !w->stalled);
    }
    EXPECT_GE(r.elapsedSeconds, 1.0);
    EXPECT_NE(live.str().find("No Error(s) detected yet!"), std::string::npos);
    EXPECT_NE(live.str().find('\r'), std::string::npos) << "the live line rewrites itself";

    std::ostringstream summary;
    PrintSummary(summary, setup, r);
    const std::string text = summary.str();
    EXPECT_NE(text.find("Result: PASS"), std::string::npos) << text;
    EXPECT_NE(text.find(std::to_string(r.workers[1]->cycles.load())), std::string::npos);
}

TEST(StressRun, WithoutALiveLineNothingIsWrittenDuringTheRun) {
    std::ostringstream out;
    RunStress(MakeSetup(1), out, false, kNoInterrupt, Quick());
    EXPECT_TRUE(out.str().empty()) << out.str();
}

TEST(StressRun, AnInterruptStopsAfterTheCurrentCycle) {
    std::atomic<bool> interrupt{false};
    std::thread press([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        interrupt = true;
    });
    std::ostringstream out;
    const RunResult r = RunStress(MakeSetup(60), out, false, interrupt, Quick());
    press.join();
    EXPECT_EQ(r.status, kExitInterrupted);
    EXPECT_TRUE(r.interrupted);
    EXPECT_LT(r.elapsedSeconds, 10.0);
    for (const auto& w : r.workers) EXPECT_TRUE(w->finished.load());

    RunSetup endless = MakeSetup(0);
    interrupt = true;  // without a limit, the interrupt is the requested end
    EXPECT_EQ(RunStress(endless, out, false, interrupt, Quick()).status, kExitClean);
}

void SpoilComplexY(double* const* second, std::size_t) {
    second[1][2999] = -second[1][2999];
}
void SpoilMatrixD(double* const* second, std::size_t) {
    second[3][1] = 0.0;
}  // a NaN turned number

TEST(StressRun, AnErrorIsReportedWithWorkerElementValuesAndMask) {
    RunSeams seams = Quick();
    seams.faults = {{2, 3, {SpoilComplexY}}};
    const RunSetup setup = MakeSetup(1);
    std::ostringstream out;
    const RunResult r = RunStress(setup, out, false, kNoInterrupt, seams);
    EXPECT_EQ(r.status, kExitErrors);
    EXPECT_EQ(ErrorLine(r), " Error in Complex Math");
    const WorkerState& complex = *r.workers[2];
    ASSERT_EQ(complex.errors.size(), 1u);
    const ErrorRecord& e = complex.errors[0];
    EXPECT_EQ(e.cycle, 3u);
    EXPECT_EQ(e.first.array, 1);
    EXPECT_EQ(e.first.element, 2999u);
    EXPECT_EQ(e.first.second, -e.first.first);
    EXPECT_EQ(e.first.xorMask, 0x8000000000000000ull);

    const nlohmann::ordered_json report =
        nlohmann::ordered_json::parse(BuildReport(setup, r).dump());
    EXPECT_EQ(report["exit_status"], 1);
    EXPECT_EQ(report["processor"], "AMD Athlon");
    EXPECT_EQ(report["clock"], "1000.00   MHZ   estimate ");
    EXPECT_EQ(report["error_line"], " Error in Complex Math");
    ASSERT_EQ(report["workers"].size(), 3u);
    const auto& worker = report["workers"][2];
    EXPECT_EQ(worker["routine"], "ComplexMathWorker");
    EXPECT_EQ(worker["cycles"].get<std::uint64_t>(), complex.cycles.load());
    const auto& error = worker["errors"][0];
    EXPECT_EQ(error["cycle"], 3);
    EXPECT_EQ(error["array"], "Y");
    EXPECT_EQ(error["element"], 2999);
    EXPECT_EQ(error["xor_mask"], "0x8000000000000000");
    EXPECT_EQ(std::stod(error["first"].get<std::string>()), e.first.first) << "values round-trip";
    EXPECT_EQ(error["first_bits"], Hex64(DoubleBits(e.first.first)));
    EXPECT_TRUE(report["workers"][0]["errors"].empty());
    EXPECT_FALSE(report["start"].get<std::string>().empty());

    // The matrix outranks complex math in the error line, as in the dialog.
    seams.faults = {{0, 1, {SpoilMatrixD}}};
    RunSetup both = setup;
    both.options.stopOnError = true;
    const RunResult m = RunStress(both, out, false, kNoInterrupt, seams);
    EXPECT_EQ(ErrorLine(m), " Error in Matrix");
    EXPECT_EQ(ErrorLine(1, 1), " Error in Matrix");
    ASSERT_EQ(m.workers[0]->errors.size(), 1u);
    EXPECT_TRUE(std::isnan(m.workers[0]->errors[0].first.first));
    EXPECT_EQ(m.workers[0]->errors[0].first.second, 0.0);
}

TEST(StressRun, StopOnErrorEndsTheRunAtTheFirstError) {
    RunSeams seams = Quick();
    seams.faults = {{0, 2, {SpoilMatrixD}}};
    RunSetup setup = MakeSetup(60);
    setup.options.stopOnError = true;
    std::ostringstream out;
    const RunResult r = RunStress(setup, out, false, kNoInterrupt, seams);
    EXPECT_EQ(r.status, kExitErrors);
    EXPECT_LT(r.elapsedSeconds, 30.0);
}

TEST(StressRun, AWorkerThatFinishesNoCycleInTimeIsReportedStalled) {
    std::atomic<bool> release{false};
    RunSeams seams = Quick();
    seams.stallAfter = std::chrono::milliseconds(5000);  // far above a sanitised cycle
    seams.beforeCycle = [&](std::size_t worker, std::uint64_t cycle) {
        if (worker == 1 && cycle == 3)
            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    const RunSetup setup = MakeSetup(1);
    std::ostringstream out;
    const RunResult r = RunStress(setup, out, false, kNoInterrupt, seams);
    EXPECT_EQ(r.status, kExitErrors);
    EXPECT_TRUE(r.workers[1]->stalled.load());
    EXPECT_FALSE(r.workers[0]->stalled.load());
    EXPECT_FALSE(r.workers[2]->stalled.load());
    std::ostringstream summary;
    PrintSummary(summary, setup, r);
    EXPECT_NE(summary.str().find("Worker 2 (MemoryWorker"), std::string::npos) << summary.str();
    EXPECT_NE(summary.str().find("stalled"), std::string::npos);
    release = true;
    WaitForWorkers(r);
}

// An unpinned worker's error names the processor its failing cycle ended on,
// and the one it began on when the system moved it during the cycle.
TEST(StressRun, AnUnpinnedErrorNamesWhereItsCycleRan) {
    const struct {
        const char* name;
        int before, after;  // where the complex-math worker is seen around cycle 3
        int movedFrom;
        const char* text;
    } cases[] = {
        {"stayed", 5, 5, -1, "(ComplexMathWorker, cpu 5) cycle 3"},
        {"moved during the cycle", 4, 6, 4,
         "(ComplexMathWorker, cpu 6, moved from cpu 4 during the cycle) cycle 3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RunSeams seams = Quick();
        seams.faults = {{2, 3, {SpoilComplexY}}};
        auto calls = std::make_shared<std::atomic<unsigned>>(0);
        const int before = c.before, after = c.after;
        seams.currentProcessor = [calls, before, after](std::size_t worker) {
            if (worker != 2) return CurrentProcessor();
            const unsigned k = (*calls)++;  // before and after each cycle in turn
            const unsigned cycle = k / 2 + 1;
            return cycle < 3 || (cycle == 3 && k % 2 == 0) ? before : after;
        };
        seams.until = [](const RunResult& r) { return r.workers[2]->cycles >= 3; };
        std::ostringstream out;
        const RunResult r = RunStress(MakeSetup(0), out, false, kNoInterrupt, seams);
        const WorkerState& complex = *r.workers[2];
        ASSERT_EQ(complex.pinnedProcessor.load(), -1);
        ASSERT_EQ(complex.errors.size(), 1u);
        EXPECT_EQ(complex.errors[0].processor, c.after);
        EXPECT_EQ(complex.errors[0].movedFrom, c.movedFrom);
        EXPECT_NE(ErrorText(r, 2, complex.errors[0]).find(c.text), std::string::npos)
            << ErrorText(r, 2, complex.errors[0]);
        const auto error = BuildReport(MakeSetup(0), r)["workers"][2]["errors"][0];
        EXPECT_EQ(error["processor"], c.after);
        EXPECT_EQ(error.contains("moved_from_processor"), c.movedFrom >= 0);
    }
}

TEST(StressRun, AllCpusPinsOneMatrixWorkerToEachProcessor) {
    RunSetup setup = MakeSetup(1);
    setup.options.placement = Placement::AllCpus;
    std::ostringstream out;
    const RunResult r = RunStress(setup, out, false, kNoInterrupt, Quick());
    EXPECT_EQ(r.status, kExitClean);
    ASSERT_EQ(r.workers.size(), setup.processors.size() + 2);
    for (std::size_t i = 0; i < setup.processors.size(); ++i) {
        EXPECT_EQ(r.workers[i]->pinnedProcessor.load(), setup.processors[i]);
#ifdef __linux__
        EXPECT_EQ(r.workers[i]->processor.load(), setup.processors[i]) << "ran where pinned";
#endif
    }
    const auto report = BuildReport(setup, r);
    EXPECT_EQ(report["options"]["placement"], "all-cpus");
    EXPECT_EQ(report["workers"][0]["processor"], setup.processors[0]);
    EXPECT_TRUE(report["workers"].back()["processor"].is_null()) << "complex math is not pinned";
}

TEST(StressRun, CycleCoresMovesTheMatrixWorkerAlong) {
    RunSetup setup = MakeSetup(120);  // a ceiling: the run ends once two moves were followed
    setup.options.placement = Placement::CycleCores;
    setup.options.cycleSeconds = 1;
    if (setup.processors.size() < 2) GTEST_SKIP() << "one processor: nowhere to move";
    std::vector<int> targets;  // each new target the runner set, in order
    RunSeams seams = Quick();
    seams.until = [&](const RunResult& r) {
        const WorkerState& w = *r.workers.front();
        const int target = w.targetProcessor.load();
        if (targets.empty() || targets.back() != target) targets.push_back(target);
        return targets.size() >= 3 && w.pinnedProcessor.load() == target;
    };
    std::ostringstream out;
    const RunResult r = RunStress(setup, out, false, kNoInterrupt, seams);
    EXPECT_EQ(r.status, kExitClean);
    ASSERT_EQ(r.workers.size(), 1u);
    ASSERT_GE(targets.size(), 3u);
    const std::size_t n = setup.processors.size();
    for (std::size_t i = 0; i < targets.size(); ++i)
        EXPECT_EQ(targets[i], setup.processors[i % n]) << "move " << i << ": the next, wrapping";
    EXPECT_EQ(r.workers[0]->pinnedProcessor.load(), targets.back()) << "the worker followed";
}

TEST(StressSelfTest, DetectsAndReportsTheInjectedFault) {
    std::ostringstream out;
    EXPECT_TRUE(RunSelfTest(MakeSetup(1), out)) << out.str();
    EXPECT_NE(out.str().find("PASS"), std::string::npos);
    EXPECT_NE(out.str().find("0x0000000000000001"), std::string::npos) << out.str();
}

}  // namespace
