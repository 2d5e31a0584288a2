// The self-test corrupts one element through the engine's test seam and checks
// that the run reports exactly that element and bit, with the failing status.
#include "tools/stress/self_test.h"

#include <cstring>

#include "engine/verification.h"
#include "tools/stress/report.h"

namespace {

void FlipLowestBit(double* const* secondPass, std::size_t arrays) {
    if (arrays > static_cast<std::size_t>(kSelfTestArray)) {
        double& element = secondPass[kSelfTestArray][kSelfTestElement];
        std::uint64_t bits = DoubleBits(element) ^ 1u;
        std::memcpy(&element, &bits, sizeof element);
    }
}

}  // namespace

RunSetup SelfTestSetup(const RunSetup& machine) {
    RunSetup setup = machine;
    setup.options = StressOptions{};
    setup.options.seconds = 30;  // an upper bound: the run stops at the error
    setup.options.extraMatrix = 0;
    setup.options.stopOnError = true;
    setup.options.selfTest = true;
    return setup;
}

bool RunSelfTest(const RunSetup& machine, std::ostream& out, RunResult* run) {
    const RunSetup setup = SelfTestSetup(machine);
    RunSeams seams;
    seams.corrupt = FlipLowestBit;
    seams.corruptWorker = 0;
    seams.corruptCycle = kSelfTestCycle;
    const std::atomic<bool> never{false};
    RunResult result = RunStress(setup, out, false, never, seams);

    const WorkerState& matrix = *result.workers.at(0);
    bool found = false;
    if (matrix.finished && matrix.errors.size() == 1) {
        const ErrorRecord& e = matrix.errors.front();
        found = e.cycle == kSelfTestCycle && e.first.array == kSelfTestArray &&
                e.first.element == kSelfTestElement && e.first.xorMask == 1 &&
                e.mismatchingPairs == 1;
    }
    const bool othersClean = result.totalErrorCycles() == 1 && !result.anyStalled();
    const bool pass = result.status == kExitErrors && found && othersClean;
    out << "Self-test: injected a one-bit fault into matrix element " << kSelfTestElement
        << " of cycle " << kSelfTestCycle << "; " << (found ? "detected" : "NOT detected")
        << " with xor mask " << (found ? Hex64(1) : std::string("-")) << ", exit status "
        << result.status << ".\n"
        << (pass ? "PASS" : "FAIL") << "\n";
    if (run) *run = std::move(result);
    return pass;
}
