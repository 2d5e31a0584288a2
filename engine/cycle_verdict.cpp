// Inspected cycles: the same passes as the workers, a comparison that reports.
#include "engine/cycle_verdict.h"

#include <algorithm>
#include <iterator>

#include "engine/verification.h"

namespace {

void InspectPairs(const double* first, const double* second, std::size_t length,
                  std::size_t firstElement, int array, CycleVerdict& verdict) {
    for (std::size_t k = 0; k < length; ++k) {
        const std::uint64_t mask = DoubleBits(first[k]) ^ DoubleBits(second[k]);
        if (mask == 0) continue;
        ++verdict.mismatches;
        if (!verdict.first)
            verdict.first = Mismatch{array, firstElement + k, first[k], second[k], mask};
    }
}

// Branch-free, so it vectorises: the common case of a sound cycle costs one
// streaming pass; only a differing array is walked again to locate.
bool AnyDifference(const double* first, const double* second, std::size_t length) {
    std::uint64_t differences = 0;
    for (std::size_t k = 0; k < length; ++k)
        differences |= DoubleBits(first[k]) ^ DoubleBits(second[k]);
    return differences != 0;
}

template <std::size_t N>
void Apply(const CycleFault& fault, double* const (&first)[N], double* const (&second)[N]) {
    if (!fault.corrupt) return;
    if (fault.bothPasses) fault.corrupt(first, N);
    fault.corrupt(second, N);
}

}  // namespace

PassResults FirstPassResults(const MatrixArrays& m) {
    PassResults results = kMatrixResults;
    const double* const arrays[] = {m.a + 1, m.b + 1, m.c + 1, m.d + 1};
    std::copy(std::begin(arrays), std::end(arrays), results.arrays);
    return results;
}

PassResults FirstPassResults(const ComplexMathArrays& a) {
    PassResults results = kComplexResults;
    results.arrays[0] = a.x;
    results.arrays[1] = a.y;
    return results;
}

PassResults ResultsIn(const double* values, const PassResults& layout) {
    PassResults view = layout;
    for (std::size_t i = 0; i < layout.count; ++i) view.arrays[i] = values + i * layout.length;
    return view;
}

CycleVerdict CompareResultsWith(const PassResults& pass, const PassResults& reference) {
    CycleVerdict verdict;
    for (std::size_t i = 0; i < pass.count; ++i) {
        if (!AnyDifference(pass.arrays[i], reference.arrays[i], pass.length)) continue;
        InspectPairs(pass.arrays[i], reference.arrays[i], pass.length, pass.firstElement,
                     static_cast<int>(i), verdict);
    }
    return verdict;
}

CycleVerdict InspectMatrixCycle(MatrixArrays& m, CycleFault fault) {
    MatrixPass(m.a, m.b, m.c, m.d);
    MatrixPass(m.a2, m.b2, m.c2, m.d2);
    double* const first[] = {m.a, m.b, m.c, m.d};
    double* const second[] = {m.a2, m.b2, m.c2, m.d2};
    Apply(fault, first, second);
    const PassResults secondResults{
        {m.a2 + 1, m.b2 + 1, m.c2 + 1, m.d2 + 1}, 4, 1, kMatrixLength - 1};
    return CompareResultsWith(FirstPassResults(m), secondResults);
}

CycleVerdict InspectComplexMathCycle(ComplexMathArrays& a, CycleFault fault) {
    ComplexMathPass(a.x, a.y);
    ComplexMathPass(a.x2, a.y2);
    double* const first[] = {a.x, a.y};
    double* const second[] = {a.x2, a.y2};
    Apply(fault, first, second);
    return CompareResultsWith(FirstPassResults(a), PassResults{{a.x2, a.y2}, 2, 0, kComplexLength});
}
