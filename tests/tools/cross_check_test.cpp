// The cross-core check: the election of a reference from the workers' first
// cycles, and runs in which one worker is wrong the same way in both passes.
#include "tools/stress/cross_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "engine/verification.h"
#include "tools/stress/digest.h"
#include "tools/stress/platform.h"
#include "tools/stress/report.h"
#include "tools/stress/runner.h"

namespace {

constexpr PassResults kThree{{}, 1, 5, 3};  // one array, elements 5..7
const double kA[] = {1.0, 2.0, 3.0};
const double kB[] = {1.0, 2.5, 3.0};
const double kC[] = {1.0, 2.0, -3.0};

PassResults Ballot(const double* values) {
    return ResultsIn(values, kThree);
}

TEST(RoutineVote, TheMajorityOfFirstCyclesElectsTheReference) {
    struct Case {
        std::vector<const double*> ballots;  // null: the voter is gone without one
        bool majority;
        std::vector<std::vector<std::size_t>> groups;
        std::size_t splitElement;  // without a majority; 0: no split
    };
    const Case cases[] = {
        {{kA}, true, {{0}}, 0},
        {{kA, kA, kB}, true, {{0, 1}, {2}}, 0},
        {{kB, kA, kA}, true, {{1, 2}, {0}}, 0},
        {{kA, kB}, false, {{0}, {1}}, 6},
        {{kA, kA, kB, kB}, false, {{0, 1}, {2, 3}}, 6},
        {{kA, kB, kC}, false, {{0}, {1}, {2}}, 6},
        {{kA, nullptr, kC}, false, {{0}, {2}}, 7},
        {{kA, kA, nullptr}, true, {{0, 1}}, 0},
    };
    for (const Case& c : cases) {
        std::vector<std::size_t> voters;
        for (std::size_t i = 0; i < c.ballots.size(); ++i) voters.push_back(i);
        RoutineVote vote(voters, kThree);
        for (std::size_t i = 0; i < c.ballots.size(); ++i)
            if (c.ballots[i]) vote.Submit(i, Ballot(c.ballots[i]));
        const bool missing =
            std::find(c.ballots.begin(), c.ballots.end(), nullptr) != c.ballots.end();
        EXPECT_EQ(vote.TryDecide([](std::size_t) { return false; }), !missing);
        EXPECT_EQ(vote.Outcome() != nullptr, !missing) << "no count while a voter may still come";
        ASSERT_TRUE(vote.TryDecide([](std::size_t) { return true; }));
        const VoteOutcome& o = *vote.Outcome();
        EXPECT_EQ(o.majority, c.majority);
        EXPECT_EQ(o.groups, c.groups);
        EXPECT_EQ(vote.Reference().has_value(), c.majority);
        if (c.majority) {
            const double* elected = c.ballots[c.groups[0][0]];
            EXPECT_EQ(o.digest, ResultsDigest(elected, 3));
            EXPECT_EQ(vote.Reference()->arrays[0][1], elected[1]);
        }
        EXPECT_EQ(o.split.has_value(), c.splitElement != 0);
        if (o.split) {
            EXPECT_EQ(o.split->element, c.splitElement);
        }
    }
}

// A deterministic defect: the same bit of the same element wrong in both passes.
void FlipMatrixC7(double* const* arrays, std::size_t) {
    std::uint64_t bits = DoubleBits(arrays[2][7]) ^ 0x10;
    std::memcpy(&arrays[2][7], &bits, sizeof bits);
}

struct FaultyRun {
    int extraMatrix;
    bool crossCheck;
    std::size_t worker;
    std::uint64_t cycle;
};

RunResult RunWithDefect(const FaultyRun& f, RunSetup* used = nullptr) {
    RunSetup setup;
    setup.options.seconds = 30;  // a bound: the run ends once the defect had its chance
    setup.options.extraMatrix = f.extraMatrix;
    setup.options.crossCheck = f.crossCheck;
    setup.processors = UsableProcessors();
    RunSeams seams;
    seams.tick = std::chrono::milliseconds(20);
    seams.faults = {{f.worker, f.cycle, {FlipMatrixC7, true}}};
    seams.until = [f](const RunResult& r) { return r.workers[f.worker]->cycles > f.cycle + 1; };
    if (used) *used = setup;
    const std::atomic<bool> never{false};
    std::ostringstream out;
    return RunStress(setup, out, false, never, seams);
}

TEST(CrossCoreRun, ADefectInBothPassesEscapesTheTwoPassCheckButNotTheOtherCores) {
    RunSetup setup;
    const RunResult r = RunWithDefect({1, true, 3, 3}, &setup);
    EXPECT_EQ(r.status, kExitErrors);
    EXPECT_EQ(ErrorLine(r), " Error in Matrix");
    const WorkerState& faulty = *r.workers[3];
    ASSERT_EQ(faulty.errors.size(), 1u) << "found once, and only by the cross-core check";
    const ErrorRecord& e = faulty.errors[0];
    EXPECT_EQ(e.kind, ErrorKind::CrossCore);
    EXPECT_EQ(e.cycle, 3u);
    EXPECT_EQ(e.first.array, 2);
    EXPECT_EQ(e.first.element, 7u);
    EXPECT_EQ(e.first.xorMask, 0x10u);
    EXPECT_EQ(e.mismatchingPairs, 1u);
    EXPECT_NEAR(e.first.second, -0.3250051247, 1e-9) << "the reference is the sound value";
    EXPECT_EQ(DoubleBits(e.first.first), DoubleBits(e.first.second) ^ 0x10);
    EXPECT_EQ(r.workers[0]->errorCycles.load(), 0u);

    std::ostringstream summary;
    PrintSummary(summary, setup, r);
    EXPECT_NE(summary.str().find("Error: worker 4 (MatrixWorker, cpu "), std::string::npos);
    EXPECT_NE(summary.str().find("cycle 3, cross-core: array C element 7: computed"),
              std::string::npos)
        << summary.str();
    const auto report = BuildReport(setup, r);
    const auto& error = report["workers"][3]["errors"][0];
    EXPECT_EQ(error["kind"], "cross-core");
    EXPECT_EQ(error["xor_mask"], "0x0000000000000010");
    EXPECT_EQ(error["reference_bits"], Hex64(DoubleBits(e.first.second)));
    EXPECT_EQ(report["references"][0]["digest"], Hex64(r.checks[0].outcome->digest));
}

TEST(CrossCoreRun, TheMajorityNamesTheMinorityWorkerAndItsProcessor) {
    const RunResult r = RunWithDefect({2, true, 4, 1});
    EXPECT_EQ(r.status, kExitErrors);
    ASSERT_EQ(r.checks.size(), 2u);
    EXPECT_EQ(r.checks[0].outcome->groups, (std::vector<std::vector<std::size_t>>{{0, 3}, {4}}));
    const WorkerState& minority = *r.workers[4];
    ASSERT_FALSE(minority.errors.empty());
    EXPECT_EQ(minority.errors[0].kind, ErrorKind::CrossCore);
    EXPECT_EQ(minority.errors[0].cycle, 1u);
    EXPECT_EQ(minority.errors[0].first.element, 7u) << "its own first cycle, judged";
    EXPECT_EQ(minority.errors[0].first.xorMask, 0x10u);
    EXPECT_EQ(minority.errors[0].processor, minority.ballotProcessor);
#ifdef __linux__
    EXPECT_GE(minority.errors[0].processor, 0);
#endif
    EXPECT_TRUE(r.workers[0]->errors.empty() && r.workers[3]->errors.empty());
}

TEST(CrossCoreRun, TwoWorkersThatDisagreeAreBothNamedAndNeitherBlamed) {
    RunSetup setup;
    const RunResult r = RunWithDefect({1, true, 3, 1}, &setup);
    EXPECT_EQ(r.status, kExitErrors);
    EXPECT_EQ(ErrorLine(r), " Error in Matrix");
    EXPECT_TRUE(r.checks[0].Disagreement());
    EXPECT_TRUE(r.workers[0]->errors.empty() && r.workers[3]->errors.empty());
    std::ostringstream summary;
    PrintSummary(summary, setup, r);
    const std::string text = summary.str();
    const std::string named = " 1 (cpu " + std::to_string(r.workers[0]->ballotProcessor) +
                              ") | 4 (cpu " + std::to_string(r.workers[3]->ballotProcessor) + ")";
    EXPECT_NE(text.find("none is blamed:" + named), std::string::npos) << text;
    EXPECT_NE(text.find("array C element 7"), std::string::npos) << text;
    EXPECT_EQ(text.find("Error: worker"), std::string::npos) << text;
    const auto report = BuildReport(setup, r);
    EXPECT_EQ(report["references"][0]["disagreement"], true);
    EXPECT_TRUE(report["references"][0]["digest"].is_null());
}

TEST(CrossCoreRun, WithoutTheCheckTheDefectGoesUnseen) {
    const RunResult r = RunWithDefect({1, false, 3, 1});
    EXPECT_EQ(r.status, kExitClean) << "what the cross-core check exists to catch";
    EXPECT_FALSE(r.checks[0].crossCheck);
}

}  // namespace
