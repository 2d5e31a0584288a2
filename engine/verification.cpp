// Bitwise comparison of a worker's two passes.
#include "engine/verification.h"

#include "engine/run_state.h"

// Folds the differences of all pairs together, then raises the flag once if any
// pair differed: the same outcome as one store per mismatching pair, without a
// branch per element, so the loop vectorises.
__attribute__((noinline)) void CompareResults(const double* first, const double* second,
                                              std::size_t count, std::atomic<bool>& errorFlag) {
    std::uint64_t differences = 0;
    for (std::size_t k = 0; k < count; ++k) differences |= DoubleBits(first[k]) ^ DoubleBits(second[k]);
    if (differences != 0) Raise(errorFlag);
}
