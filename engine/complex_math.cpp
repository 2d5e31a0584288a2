// The complex-math worker routine.
#include "engine/complex_math.h"

template void ComplexMathPass<LibMath>(double*, double*);

// Source and target are distinct arrays; saying so lets the divisions pair up in
// vector registers, which round each lane exactly as the scalar code would.
__attribute__((noinline)) void AccumulateQuotients(const double* __restrict source,
                                                   double* __restrict target, double divisor) {
    for (std::size_t k = 0; k < kComplexLength; ++k) {
        const double quotient = source[k] / divisor;
        target[k] = quotient + target[k];
    }
}

unsigned ComplexMathWorker(void*) {
    auto arrays = TryAllocate<ComplexMathArrays>();
    if (arrays) RunComplexMath(*arrays, TestRunState);
    return 0;
}
