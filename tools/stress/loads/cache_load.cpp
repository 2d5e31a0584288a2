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
        SeedPairedChains(seeds1_.data(), kCacheChunk / 2);
        SeedPairedChains(seeds2_.data(), kCacheChunk / 2);
    }

    CycleVerdict RunCycle(std::uint64_t, CycleFault fault) override {
        CacheRounds(kernels_, buffers_.First(), buffers_.Second(), seeds1_.data(), seeds2_.data(),
                    map1_, map2_, 0, kCacheRounds);
        return buffers_.Verdict(fault);
    }
    PassResults FirstPass() const override { return buffers_.FirstPass(); }

private:
    const TwinKernels& kernels_;  // not owned: static tables
    TwinBuffers buffers_;
    std::vector<double> seeds1_, seeds2_;
    const MapConstants map1_ = kMap, map2_ = kMap;  // each copy's own
};

}  // namespace

void vload::CacheRounds(const TwinKernels& kernels, double* first, double* second,
                        const double* seeds1, const double* seeds2, const MapConstants& k1,
                        const MapConstants& k2, std::size_t from, std::size_t to) {
    auto chunk = [](double* copy, std::size_t n) { return copy + n * kCacheChunk; };
    auto visit = [&](std::size_t n, const double* source1, const double* source2) {
        kernels.cacheSweep(source1, source2, chunk(first, n), chunk(second, n), kCacheChunk, k1,
                           k2);
    };
    for (std::size_t round = from; round < to; ++round) {
        if (round == 0)
            visit(0, seeds1, seeds2);
        else
            visit(0, chunk(first, 0), chunk(second, 0));
        const std::size_t n = 1 + round % kCacheSecondLevelChunks;
        const std::size_t source = round < kCacheSecondLevelChunks ? 0 : n;
        visit(n, chunk(first, source), chunk(second, source));
    }
}

namespace {

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
    2.0 * 4.0 * kCacheVisits* kCacheSteps,
    IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512),
    kCacheDigest,
    Make};
