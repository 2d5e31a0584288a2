// fma-add: the fma load's chains plus as many independent addition chains, so
// the adder pipes work beside the FMA pipes.
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
    explicit FmaAddLoad(const TwinKernels& kernels) : kernels_(kernels), buffers_(kLayout) {}

    CycleVerdict RunCycle(std::uint64_t, CycleFault fault) override {
        constexpr std::size_t kChains = kMixValues / 2;
        for (std::size_t i = 0; i < kChains; ++i) {
            buffers_.First()[i] = buffers_.Second()[i] = ChainSeed(i);
            buffers_.First()[kChains + i] = buffers_.Second()[kChains + i] = SumSeed(i);
        }
        kernels_.fmaAdd(buffers_.First(), buffers_.Second());
        return buffers_.Verdict(fault);
    }
    PassResults FirstPass() const override { return buffers_.FirstPass(); }

private:
    const TwinKernels& kernels_;  // not owned: static tables
    TwinBuffers buffers_;
};

std::unique_ptr<LoadInstance> Make(Isa isa) {
    const TwinKernels* kernels = KernelsFor(isa);
    if (!kernels || !kernels->fmaAdd) return nullptr;
    return std::make_unique<FmaAddLoad>(*kernels);
}

}  // namespace

// Per chain and step: one FMA (two operations) and one addition, in two copies.
const LoadDescriptor kFmaAddLoad{
    "fma-add",
    "fused multiply-add chains plus independent additions, FMA and adder pipes busy "
    "(needs FMA: avx2 or avx512)",
    kLayout,
    2.0 * 3.0 * kMixChains * kMixLanes * kMixSteps,
    IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512),
    kFmaAddDigest,
    Make};
