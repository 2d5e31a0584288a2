// fma-add: the fma load's chains plus a sum to each pair of them that takes in
// every step's values, one addition per multiply-add, so the adder pipes work
// beside the FMA pipes.
#include <memory>

#include "tools/stress/loads/kernels.h"
#include "tools/stress/loads/known_digests.h"
#include "tools/stress/loads/twin_buffers.h"
#include "tools/stress/loads/vector_loads.h"

namespace {

using namespace vload;

constexpr PassResults kLayout{{}, 1, 0, kMixValues};

class FmaAddLoad final : public LoadInstance {
public:
    FmaAddLoad(const TwinKernels& kernels, std::size_t block)
        : kernels_(kernels), block_(block), buffers_(kLayout) {}

    CycleVerdict RunCycle(std::uint64_t, CycleFault fault) override {
        SeedChains(buffers_.First(), kMixChains, true);
        SeedChains(buffers_.Second(), kMixChains, true);
        kernels_.fmaAdd(buffers_.First(), buffers_.Second(), map1_, map2_, kMixSteps, block_);
        return buffers_.Verdict(fault);
    }
    PassResults FirstPass() const override { return buffers_.FirstPass(); }

private:
    const TwinKernels& kernels_;  // not owned: static tables
    const std::size_t block_;
    TwinBuffers buffers_;
    const MapConstants map1_ = kMap, map2_ = kMap;  // each copy's own
};

std::unique_ptr<LoadInstance> Make(Isa isa) {
    const TwinKernels* kernels = KernelsFor(isa);
    if (!kernels || !kernels->fmaAdd) return nullptr;
    return std::make_unique<FmaAddLoad>(*kernels, ChainCountsFor(isa).fmaAdd);
}

}  // namespace

// Per chain and step: two FMAs (two operations each) and two additions, in two
// copies.
const LoadDescriptor kFmaAddLoad{
    "fma-add",
    "fused multiply-add chains plus independent additions, FMA and adder pipes busy "
    "(needs FMA: avx2 or avx512)",
    kLayout,
    2.0 * 6.0 * kMixChains* kMixSteps,
    IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512),
    kFmaAddDigest,
    Make};
