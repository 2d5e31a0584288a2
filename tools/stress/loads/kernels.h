// One instruction set's kernels. Each runs both copies of a load's work in the
// same loop, in separate registers, in place: a buffer holds its copy's seeds on
// entry and its results on return.
#pragma once

#include <cstddef>

#include "tools/stress/load.h"
#include "tools/stress/loads/lane_plan.h"

namespace vload {

struct TwinKernels {
    void (*fma)(double* first, double* second);     // null: no fused multiply-add
    void (*fmaAdd)(double* first, double* second);  // likewise
    // One visit of `length` elements: read from the sources, step, store.
    void (*cacheSweep)(const double* source1, const double* source2, double* target1,
                       double* target2, std::size_t length);
    // `count` steps of the integer work from step `first`.
    void (*intSteps)(IntState& a, IntState& b, std::size_t firstStep, std::size_t count);
};

// Null where this build has no kernels for `isa` or the processor lacks what
// they need. Base is the portable reference, run copy after copy.
const TwinKernels* KernelsFor(Isa isa);

// The variants, for KernelsFor and the bench. `hardware` chooses AES-NI and the
// CRC32 instruction for the integer work over the portable code.
const TwinKernels* Sse2Kernels(bool hardware);
const TwinKernels* Avx2Kernels(bool hardware);
const TwinKernels* Avx512Kernels(bool hardware);

// The bench's bare kernel: `chains` registers of one copy only (4 to 14, even),
// `steps` multiply-adds each, results dropped; answers the FLOP executed, 0
// where `isa` has no such kernel.
double BareFmaChains(Isa isa, std::size_t chains, std::size_t steps);
double Avx2BareChains(std::size_t chains, std::size_t steps);
double Avx512BareChains(std::size_t chains, std::size_t steps);

}  // namespace vload
