// The complex-math worker routine.
#include "engine/complex_math.h"

__attribute__((noinline)) void AccumulateQuotients(const double* source, double* target,
                                                   double divisor) {
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
