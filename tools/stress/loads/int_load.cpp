// int: multiply-with-carry generators in vector registers, AES rounds (AES-NI)
// and CRC32C chains (the CRC32 instruction); processors without those two run
// the portable code for them, which gives the same bits.
#include <memory>

#include "tools/stress/loads/kernels.h"
#include "tools/stress/loads/known_digests.h"
#include "tools/stress/loads/twin_buffers.h"
#include "tools/stress/loads/vector_loads.h"

namespace {

using namespace vload;

constexpr PassResults kLayout{{}, kIntResultArrays, 0, kIntLanes};

class IntLoad final : public LoadInstance {
public:
    explicit IntLoad(const TwinKernels& kernels)
        : kernels_(kernels),
          buffers_(kLayout),
          first_(std::make_unique<IntState>()),
          second_(std::make_unique<IntState>()) {}

    CycleVerdict RunCycle(std::uint64_t, CycleFault fault) override {
        SeedIntState(*first_);
        SeedIntState(*second_);
        kernels_.intSteps(*first_, *second_, 0, kIntSteps);
        StoreIntResults(*first_, buffers_.First());
        StoreIntResults(*second_, buffers_.Second());
        return buffers_.Verdict(fault);
    }
    PassResults FirstPass() const override { return buffers_.FirstPass(); }

private:
    const TwinKernels& kernels_;  // not owned: static tables
    TwinBuffers buffers_;
    std::unique_ptr<IntState> first_, second_;
};

std::unique_ptr<LoadInstance> Make(Isa isa) {
    const TwinKernels* kernels = KernelsFor(isa);
    if (!kernels || !kernels->intSteps) return nullptr;
    return std::make_unique<IntLoad>(*kernels);
}

}  // namespace

const LoadDescriptor kIntLoad{
    "int",
    "integer multiply chains, AES rounds and CRC32C, every 32-bit result word compared",
    kLayout,
    0,
    IsaBit(Isa::Sse2) | IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512),
    kIntDigest,
    Make};
