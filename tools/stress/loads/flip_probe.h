// How a load meets a hardware fault: its work run in two halves, single bits of
// one copy's state flipped between them, and the share of flips the final
// results no longer show.
#pragma once

#include <cstddef>

#include "tools/stress/load.h"
#include "tools/stress/loads/kernels.h"

namespace vload {

// Flips by the part of a double they hit; integer state counts as mantissa.
enum BitClass { kSign, kExponent, kMantissa, kBitClasses };

struct FlipTally {
    std::size_t flips[kBitClasses] = {};
    std::size_t masked[kBitClasses] = {};  // the final results were the sound ones
    bool otherCopyChanged = false;         // a flip in one copy reached the other
    std::size_t Flips() const { return flips[kSign] + flips[kExponent] + flips[kMantissa]; }
    std::size_t Masked() const { return masked[kSign] + masked[kExponent] + masked[kMantissa]; }
};

// Flips every bit position of every state value of copy `copy` (0 or 1) once,
// many values a run (their chains are independent), and tallies. `load` is one
// of the vector loads; a load without kernels for `isa` tallies nothing.
FlipTally ProbeFlips(const LoadDescriptor& load, Isa isa, int copy);

// The same over an fma-shaped kernel of the caller's: kFmaChains chains seeded
// as the fma load's, `steps` steps in two halves, `block` vectors of chains at
// a time. The fma load's probe, and tests of the probe itself.
using FmaKernel = void (*)(double* first, double* second, const MapConstants& k1,
                           const MapConstants& k2, std::size_t steps, std::size_t block);
FlipTally ProbeFmaKernel(FmaKernel kernel, std::size_t steps, int copy, std::size_t block = 1);

}  // namespace vload
