// The complex-math worker: sines and cosines of 0..2999 folded together through
// a fixed divisor, computed twice in separate arrays and compared bit for bit.
// The Math parameter is LibMath in the program; the benchmark substitutes one
// that records the arguments.
#pragma once

#include <atomic>
#include <cstddef>

#include "engine/lib_math.h"
#include "engine/run_state.h"
#include "engine/verification.h"
#include "engine/worker.h"

constexpr std::size_t kComplexLength = 3000;
constexpr double kComplexDivisor = 0.123456789;

struct ComplexMathArrays {
    double x[kComplexLength];  // first pass
    double y[kComplexLength];
    double x2[kComplexLength];  // second pass
    double y2[kComplexLength];
};

// target[k] = source[k] / divisor + target[k] for k = 0..2999; the quotient first.
void AccumulateQuotients(const double* source, double* target, double divisor);

// One pass; out of line, so both halves of a cycle execute the very same code.
template <typename Math = LibMath>
__attribute__((noinline)) void ComplexMathPass(double* u, double* v) {
    for (std::size_t k = 0; k < kComplexLength; ++k) {
        u[k] = static_cast<double>(k);
        v[k] = static_cast<double>(k);
    }
    for (std::size_t k = 0; k < kComplexLength; ++k) {
        v[k] = Math::Sin(v[k]);
        u[k] = Math::Cos(u[k]);
    }
    AccumulateQuotients(u, v, kComplexDivisor);
}

// The program's pass is compiled once, in complex_math.cpp, and every user
// links that very code, tests included.
extern template void ComplexMathPass<LibMath>(double*, double*);

inline void ComplexMathCompare(const ComplexMathArrays& a, std::atomic<bool>& errorFlag) {
    CompareResults(a.x2, a.x, kComplexLength, errorFlag);
    CompareResults(a.y2, a.y, kComplexLength, errorFlag);
}

template <typename Math = LibMath>
void ComplexMathCycle(ComplexMathArrays& a, std::atomic<bool>& errorFlag) {
    ComplexMathPass<Math>(a.x, a.y);
    ComplexMathPass<Math>(a.x2, a.y2);
    ComplexMathCompare(a, errorFlag);
}

// Cycles until the state's stop flag is seen after a cycle; returns the cycles run.
template <typename Math = LibMath>
unsigned long RunComplexMath(ComplexMathArrays& a, TestRunStateRecord& state) {
    return RunUntilStopped(state.stopRequested,
                           [&] { ComplexMathCycle<Math>(a, state.complexMathError); });
}

unsigned ComplexMathWorker(void* parameter);
