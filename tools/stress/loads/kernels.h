// One instruction set's kernels. Each runs both copies of a load's work in the
// same loop, in separate registers, in place: a buffer holds its copy's seeds on
// entry and its results on return.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "tools/stress/load.h"
#include "tools/stress/loads/lane_plan.h"

namespace vload {

// The block sizes the floating-point kernels are built for: chains of one copy
// stepped together, in vectors (kernel_body.inc). Every one divides the vector
// count of each load at every width, so blocks are always whole; fma-add takes
// its chains in pairs (an odd block runs as the even one below it).
constexpr std::size_t kBlockSizes[] = {1, 2, 3, 4, 5, 6, 12};

// Each copy's map constants come from its own memory (`k1`, `k2`), so no
// register is shared between the copies. `steps` steps of every chain (even for
// fmaAdd), `block` vectors of each copy at a time: the block changes the order
// chains interleave in, never a chain's own operations.
struct TwinKernels {
    // null: no fused multiply-add
    void (*fma)(double* first, double* second, const MapConstants& k1, const MapConstants& k2,
                std::size_t steps, std::size_t block);
    void (*fmaAdd)(double* first, double* second, const MapConstants& k1, const MapConstants& k2,
                   std::size_t steps, std::size_t block);
    // One visit of `length` elements: read from the sources, step, store.
    void (*cacheSweep)(const double* source1, const double* source2, double* target1,
                       double* target2, std::size_t length, const MapConstants& k1,
                       const MapConstants& k2);
    // `count` steps of the integer work from step `first`.
    void (*intSteps)(IntState& a, IntState& b, std::size_t firstStep, std::size_t count);
};

// The cache load's rounds [from, to) of a cycle over both copies' buffers
// (kCacheElements each), starting the first round from each copy's seeds.
void CacheRounds(const TwinKernels& kernels, double* first, double* second, const double* seeds1,
                 const double* seeds2, const MapConstants& k1, const MapConstants& k2,
                 std::size_t from, std::size_t to);

// Chains of one copy the floating-point kernels step together on this
// processor, in vectors (a kBlockSizes entry): enough to fill the pipes, few
// enough to stay in registers. From a table by processor family, else measured
// once, in a few milliseconds, on first use.
struct Processor {
    std::string vendor;  // "AuthenticAMD"
    unsigned family = 0, model = 0;
};
Processor IdentifyProcessor();

// What a known core's floating-point unit offers: the FMA latency in cycles and
// the vector FMA instructions it starts a cycle at 256 and 512 bits (a core that
// splits 512-bit work into halves counts one), and whether additions have pipes
// of their own beside the FMA pipes.
struct CoreFpu {
    const char* name;
    unsigned latency, pipes256, pipes512;
    bool separateAdders;
};
std::optional<CoreFpu> KnownCore(const Processor& processor);

struct ChainCounts {
    std::size_t fma = 1, fmaAdd = 1;
};
const ChainCounts& ChainCountsFor(Isa isa);
// The choice itself: by the core's FMA pipes when it is known, else by timing
// each block size on this processor for a few milliseconds.
ChainCounts ChooseChainCounts(Isa isa, const std::optional<CoreFpu>& core);

// Null where this build has no kernels for `isa` or the processor lacks what
// they need. Base is the portable reference, run copy after copy.
const TwinKernels* KernelsFor(Isa isa);

// The variants, for KernelsFor and the bench. `hardware` chooses AES-NI and the
// CRC32 instruction for the integer work over the portable code.
const TwinKernels* Sse2Kernels(bool hardware);
const TwinKernels* Avx2Kernels(bool hardware);
const TwinKernels* Avx512Kernels(bool hardware);

// The bench's bare kernel: `block` vectors of one copy only (a kBlockSizes
// entry), `steps` steps of the map each, results dropped; answers the FLOP
// executed, 0 where `isa` has no such kernel.
double BareFmaChains(Isa isa, std::size_t block, std::size_t steps);
double Avx2BareChains(std::size_t block, std::size_t steps);
double Avx512BareChains(std::size_t block, std::size_t steps);

}  // namespace vload
