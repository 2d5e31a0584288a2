// A cycle that says where it went wrong: the first mismatching element, its two
// values and their XOR, and how many elements differed. The dialog's workers
// only raise a flag; the headless runner reports the detail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "engine/complex_math.h"
#include "engine/matrix.h"

struct Mismatch {
    int array = 0;            // 0..3: A, B, C, D for the matrix; 0..1: X, Y for complex math
    std::size_t element = 0;  // index within that array
    double first = 0;         // first pass, or the value computed
    double second = 0;        // second pass, or the reference
    std::uint64_t xorMask = 0;
};

struct CycleVerdict {
    std::size_t mismatches = 0;
    std::optional<Mismatch> first;
};

// The result arrays one pass leaves: `length` used elements from each pointer,
// numbered from `firstElement` as in the worker's own arrays.
struct PassResults {
    const double* arrays[4] = {};
    std::size_t count = 0;
    std::size_t firstElement = 0;
    std::size_t length = 0;
    std::size_t size() const { return count * length; }
};

// The layouts alone, without arrays.
constexpr PassResults kMatrixResults{{}, 4, 1, kMatrixLength - 1};
constexpr PassResults kComplexResults{{}, 2, 0, kComplexLength};

PassResults FirstPassResults(const MatrixArrays& m);
PassResults FirstPassResults(const ComplexMathArrays& a);

// The same layout over `size()` doubles stored array after array.
PassResults ResultsIn(const double* values, const PassResults& layout);

// Test-only seam: changes a pass's arrays (four for the matrix, two for complex
// math) after the pass and before any comparison.
using PassCorruptor = void (*)(double* const* arrays, std::size_t count);
struct CycleFault {
    PassCorruptor corrupt = nullptr;
    // false: the second pass only, what the two-pass comparison catches; true:
    // both passes alike, a deterministic defect that only other cores reveal.
    bool bothPasses = false;
};

CycleVerdict InspectMatrixCycle(MatrixArrays& m, CycleFault fault = {});
CycleVerdict InspectComplexMathCycle(ComplexMathArrays& a, CycleFault fault = {});

// The bitwise rule between a pass and a reference of the same layout; `first`
// is the pass's value, `second` the reference's.
CycleVerdict CompareResultsWith(const PassResults& pass, const PassResults& reference);
