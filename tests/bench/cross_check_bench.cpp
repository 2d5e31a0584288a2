// What the cross-core check costs a matrix cycle: the headless runner's cycle
// alone and with the comparison against the elected reference, timed in turns.
// Prints "matrix_cycle_cross_check_ratio median min max" of the pairwise ratios.
#include <cstddef>
#include <memory>

#include "engine/cycle_verdict.h"
#include "tests/bench/interleaved.h"
#include "tools/stress/cross_check.h"

int main() {
    auto m = std::make_unique<MatrixArrays>();
    InspectMatrixCycle(*m);
    RoutineVote vote({0}, kMatrixResults);
    vote.Submit(0, FirstPassResults(*m));
    vote.TryDecide([](std::size_t) { return false; });
    const PassResults reference = *vote.Reference();

    std::size_t mismatches = 0;  // keeps the verdicts alive
    auto alone = [&] { mismatches += InspectMatrixCycle(*m).mismatches; };
    auto checked = [&] {
        mismatches += InspectMatrixCycle(*m).mismatches;
        mismatches += CompareResultsWith(FirstPassResults(*m), reference).mismatches;
    };
    // Many short turns: a busy machine moves single samples a lot.
    PrintRatio("matrix_cycle_cross_check_ratio", MeasureInterleaved(alone, checked, 60, 0.03));
    return mismatches == 0 ? 0 : 1;  // a mismatch here is a fault of this machine
}
