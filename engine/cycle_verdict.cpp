// Inspected cycles: the same passes as the workers, a comparison that reports.
#include "engine/cycle_verdict.h"

#include "engine/verification.h"

void InspectPairs(const double* first, const double* second, std::size_t begin, std::size_t end,
                  int array, CycleVerdict& verdict) {
    for (std::size_t k = begin; k < end; ++k) {
        const std::uint64_t mask = DoubleBits(first[k]) ^ DoubleBits(second[k]);
        if (mask == 0) continue;
        ++verdict.mismatches;
        if (!verdict.first) verdict.first = Mismatch{array, k, first[k], second[k], mask};
    }
}

CycleVerdict InspectMatrixCycle(MatrixArrays& m, SecondPassCorruptor corrupt) {
    MatrixPass(m.a, m.b, m.c, m.d);
    MatrixPass(m.a2, m.b2, m.c2, m.d2);
    double* const second[] = {m.a2, m.b2, m.c2, m.d2};
    if (corrupt) corrupt(second, 4);
    const double* const first[] = {m.a, m.b, m.c, m.d};
    CycleVerdict verdict;
    for (int i = 0; i < 4; ++i) InspectPairs(first[i], second[i], 1, kMatrixLength, i, verdict);
    return verdict;
}

CycleVerdict InspectComplexMathCycle(ComplexMathArrays& a, SecondPassCorruptor corrupt) {
    ComplexMathPass(a.x, a.y);
    ComplexMathPass(a.x2, a.y2);
    double* const second[] = {a.x2, a.y2};
    if (corrupt) corrupt(second, 2);
    CycleVerdict verdict;
    InspectPairs(a.x, a.x2, 0, kComplexLength, 0, verdict);
    InspectPairs(a.y, a.y2, 0, kComplexLength, 1, verdict);
    return verdict;
}
