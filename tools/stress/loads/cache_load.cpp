// cache: multiply-add work on values loaded from and stored back to per-worker
// buffers: a first-level region visited every round and a second-level region
// one chunk a round.
#include <memory>
#include <vector>

#include "tools/stress/loads/kernels.h"
#include "tools/stress/loads/known_digests.h"
#include "tools/stress/loads/twin_buffers.h"
#include "tools/stress/loads/vector_loads.h"

namespace {

using namespace vload;

constexpr PassResults kLayout{{}, kCacheArrays, 0, kCacheArrayLength};

class CacheLoad final : public LoadInstance {
public:
    explicit CacheLoad(const TwinKernels& kernels)
        : kernels_(kernels), buffers_(kLayout), seeds1_(kCacheChunk), seeds2_(kCacheChunk) {
        // One table a copy, so the compiler cannot know the copies start alike.
        for (std::size_t i = 0; i < kCacheChunk; ++i) seeds1_[i] = seeds2_[i] = ChainSeed(i);
    }

    CycleVerdict RunCycle(std::uint64_t, CycleFault fault) override {
        for (std::size_t round = 0; round < kCacheRounds; ++round) {
            if (round == 0)
                Visit(0, seeds1_.data(), seeds2_.data());
            else
                Visit(0, Chunk(buffers_.First(), 0), Chunk(buffers_.Second(), 0));
            const std::size_t chunk = 1 + round % kCacheSecondLevelChunks;
            const std::size_t from = round < kCacheSecondLevelChunks ? 0 : chunk;
            Visit(chunk, Chunk(buffers_.First(), from), Chunk(buffers_.Second(), from));
        }
        return buffers_.Verdict(fault);
    }
    PassResults FirstPass() const override { return buffers_.FirstPass(); }

private:
    static double* Chunk(double* copy, std::size_t chunk) { return copy + chunk * kCacheChunk; }

    void Visit(std::size_t chunk, const double* source1, const double* source2) {
        kernels_.cacheSweep(source1, source2, Chunk(buffers_.First(), chunk),
                            Chunk(buffers_.Second(), chunk), kCacheChunk);
    }

    const TwinKernels& kernels_;  // not owned: static tables
    TwinBuffers buffers_;
    std::vector<double> seeds1_, seeds2_;
};

std::unique_ptr<LoadInstance> Make(Isa isa) {
    const TwinKernels* kernels = KernelsFor(isa);
    if (!kernels || !kernels->cacheSweep) return nullptr;
    return std::make_unique<CacheLoad>(*kernels);
}

}  // namespace

const LoadDescriptor kCacheLoad{
    "cache",
    "multiply-add chains loaded from and stored to first- and second-level cache buffers "
    "(needs FMA: avx2 or avx512)",
    kLayout,
    2.0 * 2.0 * kCacheVisits* kCacheSteps,
    IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512),
    kCacheDigest,
    Make};
