// fma: fused multiply-add chains held in registers, enough of them in flight to
// keep every FMA pipe busy, both copies side by side. fma-add: the same chains
// plus a sum to each pair of them that takes in every step's values, one
// addition per multiply-add, so the adder pipes work beside the FMA pipes.
#include <memory>

#include "tools/stress/loads/kernels.h"
#include "tools/stress/loads/known_digests.h"
#include "tools/stress/loads/twin_buffers.h"
#include "tools/stress/loads/vector_loads.h"

namespace {

using namespace vload;

constexpr PassResults kFmaLayout{{}, 1, 0, kFmaValues};
constexpr PassResults kMixLayout{{}, 1, 0, kMixValues};

using ChainKernel = void (*)(double*, double*, const MapConstants&, const MapConstants&,
                             std::size_t, std::size_t);

// Either load: its chains (and sums) seeded in both copies, stepped by its
// kernel at this processor's block, compared.
class ChainLoad final : public LoadInstance {
public:
    ChainLoad(ChainKernel kernel, bool sums, std::size_t block)
        : kernel_(kernel), sums_(sums), block_(block), buffers_(sums ? kMixLayout : kFmaLayout) {}

    CycleVerdict RunCycle(std::uint64_t, CycleFault fault) override {
        SeedChains(buffers_.First(), kMixChains, sums_);
        SeedChains(buffers_.Second(), kMixChains, sums_);
        kernel_(buffers_.First(), buffers_.Second(), map1_, map2_, sums_ ? kMixSteps : kFmaSteps,
                block_);
        return buffers_.Verdict(fault);
    }
    PassResults FirstPass() const override { return buffers_.FirstPass(); }

private:
    static_assert(kFmaChains == kMixChains, "one seeding for both loads");
    const ChainKernel kernel_;
    const bool sums_;
    const std::size_t block_;
    TwinBuffers buffers_;
    const MapConstants map1_ = kMap, map2_ = kMap;  // each copy's own
};

std::unique_ptr<LoadInstance> MakeFma(Isa isa) {
    const TwinKernels* kernels = KernelsFor(isa);
    if (!kernels || !kernels->fma) return nullptr;
    return std::make_unique<ChainLoad>(kernels->fma, false, ChainCountsFor(isa).fma);
}

std::unique_ptr<LoadInstance> MakeFmaAdd(Isa isa) {
    const TwinKernels* kernels = KernelsFor(isa);
    if (!kernels || !kernels->fmaAdd) return nullptr;
    return std::make_unique<ChainLoad>(kernels->fmaAdd, true, ChainCountsFor(isa).fmaAdd);
}

}  // namespace

const LoadDescriptor kFmaLoad{
    "fma",
    "fused multiply-add chains in registers, every FMA pipe busy (needs FMA: avx2 or avx512)",
    kFmaLayout,
    2.0 * 4.0 * kFmaChains* kFmaSteps,  // two copies, two FMAs of two operations a step
    IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512),
    kFmaDigest,
    MakeFma};

// Per chain and step: two FMAs (two operations each) and two additions, in two
// copies.
const LoadDescriptor kFmaAddLoad{
    "fma-add",
    "fused multiply-add chains plus independent additions, FMA and adder pipes busy "
    "(needs FMA: avx2 or avx512)",
    kMixLayout,
    2.0 * 6.0 * kMixChains* kMixSteps,
    IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512),
    kFmaAddDigest,
    MakeFmaAdd};
