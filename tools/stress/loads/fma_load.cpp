// fma: fused multiply-add chains held in registers, enough of them in flight to
// keep every FMA pipe busy, both copies side by side.
#include <memory>

#include "tools/stress/loads/kernels.h"
#include "tools/stress/loads/known_digests.h"
#include "tools/stress/loads/twin_buffers.h"
#include "tools/stress/loads/vector_loads.h"

namespace {

using namespace vload;

constexpr PassResults kLayout{{}, 1, 0, kFmaValues};

class FmaLoad final : public LoadInstance {
public:
    FmaLoad(const TwinKernels& kernels, std::size_t block)
        : kernels_(kernels), block_(block), buffers_(kLayout) {}

    CycleVerdict RunCycle(std::uint64_t, CycleFault fault) override {
        SeedChains(buffers_.First(), kFmaChains, false);
        SeedChains(buffers_.Second(), kFmaChains, false);
        kernels_.fma(buffers_.First(), buffers_.Second(), map1_, map2_, kFmaSteps, block_);
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
    if (!kernels || !kernels->fma) return nullptr;
    return std::make_unique<FmaLoad>(*kernels, ChainCountsFor(isa).fma);
}

}  // namespace

const LoadDescriptor kFmaLoad{
    "fma",
    "fused multiply-add chains in registers, every FMA pipe busy (needs FMA: avx2 or avx512)",
    kLayout,
    2.0 * 4.0 * kFmaChains* kFmaSteps,  // two copies, two FMAs of two operations a step
    IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512),
    kFmaDigest,
    Make};
