// A cycle that says where its passes disagreed: the first mismatching element,
// its two values and their XOR, and how many pairs differed. The dialog's
// workers only raise a flag; the headless runner reports the detail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/complex_math.h"
#include "engine/matrix.h"

struct Mismatch {
    int array = 0;            // 0..3: A, B, C, D for the matrix; 0..1: X, Y for complex math
    std::size_t element = 0;  // index within that array
    double first = 0;         // first pass
    double second = 0;        // second pass
    std::uint64_t xorMask = 0;
};

struct CycleVerdict {
    std::size_t mismatches = 0;
    std::optional<Mismatch> first;
};

// Test-only seam: runs between the second pass and the comparison, with the
// second pass's arrays (four for the matrix, two for complex math).
using SecondPassCorruptor = void (*)(double* const* secondPass, std::size_t arrays);

// The bitwise rule again, counting and locating instead of raising a flag.
void InspectPairs(const double* first, const double* second, std::size_t begin, std::size_t end,
                  int array, CycleVerdict& verdict);

CycleVerdict InspectMatrixCycle(MatrixArrays& m, SecondPassCorruptor corrupt = nullptr);
CycleVerdict InspectComplexMathCycle(ComplexMathArrays& a, SecondPassCorruptor corrupt = nullptr);
