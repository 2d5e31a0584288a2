// What the cross-core check costs a matrix cycle: the headless runner's cycle
// alone (A) and with the comparison against the elected reference (B),
// measured interleaved, A B B A, so that a busy machine slows both alike.
// Prints "matrix_cycle_cross_check_ratio median min max" of the pairwise A/B.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/cycle_verdict.h"
#include "tools/stress/cross_check.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCyclesPerBlock = 4;
constexpr int kPairs = 100;

std::size_t g_sink = 0;  // keeps the verdicts alive

double TimeBlock(MatrixArrays& m, const PassResults* reference) {
    const auto start = Clock::now();
    for (int i = 0; i < kCyclesPerBlock; ++i) {
        g_sink += InspectMatrixCycle(m).mismatches;
        if (reference) g_sink += CompareResultsWith(FirstPassResults(m), *reference).mismatches;
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main() {
    auto m = std::make_unique<MatrixArrays>();
    InspectMatrixCycle(*m);
    RoutineVote vote({0}, kMatrixResults);
    vote.Submit(0, FirstPassResults(*m));
    vote.TryDecide([](std::size_t) { return false; });
    const PassResults reference = *vote.Reference();

    std::vector<double> ratios;
    for (int pair = 0; pair < kPairs; ++pair) {
        double without = 0, with = 0;
        if (pair % 2 == 0) {
            without = TimeBlock(*m, nullptr);
            with = TimeBlock(*m, &reference);
        } else {
            with = TimeBlock(*m, &reference);
            without = TimeBlock(*m, nullptr);
        }
        ratios.push_back(without / with);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("matrix_cycle_cross_check_ratio %.3f %.3f %.3f\n", ratios[ratios.size() / 2],
                ratios.front(), ratios.back());
    return g_sink == 0 ? 0 : 1;  // a mismatch here is a fault of this machine
}
