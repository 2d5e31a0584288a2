// The matrix worker: transcendental functions over eight arrays of 10000
// doubles, the same pass twice in separate arrays, compared bit for bit. Most
// elements end as NaN on every cycle; identical NaNs are never a mismatch.
#pragma once

#include <atomic>
#include <cstddef>

#include "engine/lib_math.h"
#include "engine/run_state.h"
#include "engine/verification.h"
#include "engine/worker.h"

constexpr std::size_t kMatrixLength = 10000;  // element 0 is never touched

struct MatrixArrays {
    double a[kMatrixLength];  // first pass
    double b[kMatrixLength];
    double c[kMatrixLength];
    double d[kMatrixLength];
    double a2[kMatrixLength];  // second pass
    double b2[kMatrixLength];
    double c2[kMatrixLength];
    double d2[kMatrixLength];
};

// One pass over P, Q, R, T; every step finishes all k before the next begins.
// Each library call is its own evaluation, made in the stated order, and every
// product and quotient keeps its bracketing. Out of line: both passes run this code.
template <typename Math = LibMath>
__attribute__((noinline)) void MatrixPass(double* P, double* Q, double* R, double* T) {
    for (std::size_t k = 1; k < kMatrixLength; ++k) {  // start values
        const double x = static_cast<double>(k);
        P[k] = Math::Sin(x);
        Q[k] = Math::Cos(x);
        R[k] = Math::Log(x);
        const double inner = Math::Sin(x);
        T[k] = Math::Sin(1.0 / inner);
    }
    for (std::size_t k = 1; k < kMatrixLength; ++k) {  // powers
        const double p = P[k];
        const double pLeft = Math::Sqrt(p) * p;
        const double pRight = p * Math::Sqrt(p);
        P[k] = pLeft * pRight / 2.0;

        const double q = Q[k];
        const double qLeft = Math::Sqrt(q) * q;
        const double qRight = q * Math::Sqrt(q);
        Q[k] = qLeft * qRight / 2.0;

        const double r = R[k];
        const double rLeft = Math::Sqrt(1.0 / Math::Sin(r)) * r;
        const double rRight = r * Math::Sqrt(1.0 / Math::Sin(r));
        R[k] = rLeft * rRight / 2.0;

        const double t = T[k];
        const double tLeft = Math::Sqrt(1.0 / Math::Cos(t)) * t;
        const double tRight = t * Math::Sqrt(1.0 / Math::Cos(t));
        T[k] = tLeft * tRight / 2.0;
    }
    for (std::size_t k = 1; k < kMatrixLength; ++k) {  // logarithms
        P[k] = Math::Log(P[k]);
        Q[k] = Math::Log(Q[k]);
        R[k] = Math::Log(R[k]);
        T[k] = Math::Log(T[k]);
    }
    for (std::size_t k = 1; k < kMatrixLength; ++k) {  // mixing, left to right
        const double p = P[k], q = Q[k], r = R[k], t = T[k];
        const double sum = p + q + r + t;
        const double diff = sum - q - r - t;
        const double prod = sum * diff * r * t;
        const double quot = sum / diff / prod / t;
        P[k] = sum;
        Q[k] = diff;
        R[k] = prod;
        T[k] = quot;
    }
}

// The program's pass is compiled once, in matrix.cpp, and every user links that
// very code, tests included.
extern template void MatrixPass<LibMath>(double*, double*, double*, double*);

// All 39996 pairs of elements 1..9999.
inline void MatrixCompare(const MatrixArrays& m, std::atomic<bool>& errorFlag) {
    const std::size_t used = kMatrixLength - 1;
    CompareResults(m.a + 1, m.a2 + 1, used, errorFlag);
    CompareResults(m.b + 1, m.b2 + 1, used, errorFlag);
    CompareResults(m.c + 1, m.c2 + 1, used, errorFlag);
    CompareResults(m.d + 1, m.d2 + 1, used, errorFlag);
}

template <typename Math = LibMath>
void MatrixCycle(MatrixArrays& m, std::atomic<bool>& errorFlag) {
    MatrixPass<Math>(m.a, m.b, m.c, m.d);
    MatrixPass<Math>(m.a2, m.b2, m.c2, m.d2);
    MatrixCompare(m, errorFlag);
}

template <typename Math = LibMath>
unsigned long RunMatrix(MatrixArrays& m, TestRunStateRecord& state) {
    return RunUntilStopped(state.stopRequested, [&] { MatrixCycle<Math>(m, state.matrixError); });
}

unsigned MatrixWorker(void* parameter);
