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
    explicit FmaLoad(const TwinKernels& kernels) : kernels_(kernels), buffers_(kLayout) {}

    CycleVerdict RunCycle(std::uint64_t, CycleFault fault) override {
        for (std::size_t i = 0; i < kFmaValues; ++i)
            buffers_.First()[i] = buffers_.Second()[i] = ChainSeed(i);
        kernels_.fma(buffers_.First(), buffers_.Second());
        return buffers_.Verdict(fault);
    }
    PassResults FirstPass() const override { return buffers_.FirstPass(); }

private:
    const TwinKernels& kernels_;  // not owned: static tables
    TwinBuffers buffers_;
};

std::unique_ptr<LoadInstance> Make(Isa isa) {
    const TwinKernels* kernels = KernelsFor(isa);
    if (!kernels || !kernels->fma) return nullptr;
    return std::make_unique<FmaLoad>(*kernels);
}

}  // namespace

const LoadDescriptor kFmaLoad{
    "fma",
    "fused multiply-add chains in registers, every FMA pipe busy (needs FMA: avx2 or avx512)",
    kLayout,
    2.0 * 2.0 * kFmaValues* kFmaSteps,  // two copies, two operations per FMA
    IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512),
    kFmaDigest,
    Make};
