// The self-test corrupts one element through the engine's test seam, once in a
// single pass and once in both passes of another worker, and checks that the run
// reports exactly that element and bit, each by the check meant to catch it.
#include "tools/stress/self_test.h"

#include <cstring>

#include "engine/verification.h"
#include "tools/stress/report.h"

namespace {

void FlipLowestBit(double* const* arrays, std::size_t count) {
    if (count > static_cast<std::size_t>(kSelfTestArray)) {
        double& element = arrays[kSelfTestArray][kSelfTestElement];
        std::uint64_t bits = DoubleBits(element) ^ 1u;
        std::memcpy(&element, &bits, sizeof element);
    }
}

// The worker's only error is the injected one, found by the expected check.
bool CaughtAsInjected(const WorkerState& w, ErrorKind kind) {
    if (!w.finished || w.errors.size() != 1) return false;
    const ErrorRecord& e = w.errors.front();
    return e.kind == kind && e.cycle == kSelfTestCycle && e.first.array == kSelfTestArray &&
           e.first.element == kSelfTestElement && e.first.xorMask == 1 && e.mismatchingPairs == 1;
}

}  // namespace

RunSetup SelfTestSetup(const RunSetup& machine) {
    RunSetup setup = machine;
    setup.options = StressOptions{};
    setup.options.seconds = 30;  // an upper bound: the run ends once both are caught
    setup.options.extraMatrix = 1;
    setup.options.selfTest = true;
    return setup;
}

bool RunSelfTest(const RunSetup& machine, std::ostream& out, RunResult* run) {
    const RunSetup setup = SelfTestSetup(machine);
    RunSeams seams;
    seams.faults = {{kSelfTestOnePassWorker, kSelfTestCycle, {FlipLowestBit, false}},
                    {kSelfTestBothPassesWorker, kSelfTestCycle, {FlipLowestBit, true}}};
    seams.until = [](const RunResult& r) {
        return r.workers.at(kSelfTestOnePassWorker)->errorCycles > 0 &&
               r.workers.at(kSelfTestBothPassesWorker)->errorCycles > 0;
    };
    const std::atomic<bool> never{false};
    RunResult result = RunStress(setup, out, false, never, seams);

    const bool onePass =
        CaughtAsInjected(*result.workers.at(kSelfTestOnePassWorker), ErrorKind::Pass);
    const bool bothPasses =
        CaughtAsInjected(*result.workers.at(kSelfTestBothPassesWorker), ErrorKind::CrossCore);
    const bool othersClean = result.totalErrorCycles() == 2 && !result.anyStalled();
    const bool pass = result.status == kExitErrors && onePass && bothPasses && othersClean;
    const std::string where = " of cycle " + std::to_string(kSelfTestCycle) + ", array B element " +
                              std::to_string(kSelfTestElement) + ", lowest bit): ";
    out << "Self-test: one-pass fault (matrix worker " << kSelfTestOnePassWorker + 1
        << ", second pass" << where
        << (onePass ? "detected by the two-pass check, xor " + Hex64(1)
                    : std::string("NOT detected"))
        << ".\n"
        << "Self-test: deterministic fault (matrix worker " << kSelfTestBothPassesWorker + 1
        << ", both passes" << where
        << (bothPasses ? "detected by the cross-core check, xor " + Hex64(1)
                       : std::string("NOT detected"))
        << ".\n"
        << "Self-test: the faulty run's exit status is " << result.status << "; it reported:\n";
    for (std::size_t i = 0; i < result.workers.size(); ++i) {
        if (!result.workers[i]->finished) continue;  // a stalled thread still owns its records
        for (const ErrorRecord& e : result.workers[i]->errors)
            out << "  " << ErrorText(result, i, e) << "\n";
    }
    out << (pass ? "PASS" : "FAIL") << "\n";
    if (run) *run = std::move(result);
    return pass;
}
