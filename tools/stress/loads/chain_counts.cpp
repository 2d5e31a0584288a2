// How many chains the floating-point kernels step together: the processor's
// FMA pipes times their latency is what must be in flight, the vector registers
// what fits. Known cores come from a table; any other is timed once.
#include <cpuid.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "tools/stress/loads/kernels.h"

namespace vload {
namespace {

struct ModelRange {
    const char* vendor;
    unsigned family, firstModel, lastModel;
    CoreFpu fpu;
};

// Families of the last ten years. Latency in cycles; pipes as vector FMA
// instructions a cycle at 256 and at 512 bits (a core that splits 512-bit
// work into halves counts one).
constexpr const char* kAmd = "AuthenticAMD";
constexpr const char* kIntel = "GenuineIntel";
const ModelRange kCores[] = {
    {kAmd, 0x17, 0x00, 0x2f, {"Zen, Zen+", 5, 1, 0, true}},  // two 128-bit pipes
    {kAmd, 0x17, 0x30, 0xff, {"Zen 2", 5, 2, 0, true}},
    {kAmd, 0x19, 0x00, 0x0f, {"Zen 3", 4, 2, 0, true}},
    {kAmd, 0x19, 0x10, 0x1f, {"Zen 4", 4, 2, 1, true}},
    {kAmd, 0x19, 0x20, 0x5f, {"Zen 3", 4, 2, 0, true}},
    {kAmd, 0x19, 0x60, 0xaf, {"Zen 4", 4, 2, 1, true}},
    {kAmd, 0x1a, 0x20, 0x2f, {"Zen 5 (256-bit)", 4, 2, 1, true}},
    {kAmd, 0x1a, 0x60, 0x7f, {"Zen 5 (256-bit)", 4, 2, 1, true}},
    {kAmd, 0x1a, 0x00, 0xff, {"Zen 5", 4, 2, 2, true}},
    {kIntel, 6, 0x4e, 0x4e, {"Skylake", 4, 2, 0, false}},
    {kIntel, 6, 0x5e, 0x5e, {"Skylake", 4, 2, 0, false}},
    {kIntel, 6, 0x8e, 0x8e, {"Kaby Lake, Coffee Lake", 4, 2, 0, false}},
    {kIntel, 6, 0x9e, 0x9e, {"Kaby Lake, Coffee Lake", 4, 2, 0, false}},
    {kIntel, 6, 0xa5, 0xa6, {"Comet Lake", 4, 2, 0, false}},
    {kIntel, 6, 0x55, 0x55, {"Skylake-SP, Cascade Lake", 4, 2, 2, false}},
    {kIntel, 6, 0x66, 0x66, {"Cannon Lake", 4, 2, 1, false}},
    {kIntel, 6, 0x6a, 0x6c, {"Ice Lake-SP", 4, 2, 2, false}},
    {kIntel, 6, 0x7d, 0x7e, {"Ice Lake", 4, 2, 1, false}},
    {kIntel, 6, 0x8c, 0x8d, {"Tiger Lake", 4, 2, 1, false}},
    {kIntel, 6, 0xa7, 0xa7, {"Rocket Lake", 4, 2, 1, false}},
    {kIntel, 6, 0x8f, 0x8f, {"Sapphire Rapids", 4, 2, 2, false}},
    {kIntel, 6, 0xcf, 0xcf, {"Emerald Rapids", 4, 2, 2, false}},
    {kIntel, 6, 0xad, 0xae, {"Granite Rapids", 4, 2, 2, false}},
    {kIntel, 6, 0x97, 0x9a, {"Alder Lake", 4, 2, 0, false}},
    {kIntel, 6, 0xb7, 0xb7, {"Raptor Lake", 4, 2, 0, false}},
    {kIntel, 6, 0xba, 0xba, {"Raptor Lake", 4, 2, 0, false}},
    {kIntel, 6, 0xbf, 0xbf, {"Raptor Lake", 4, 2, 0, false}},
    {kIntel, 6, 0xaa, 0xac, {"Meteor Lake", 4, 2, 0, false}},
    {kIntel, 6, 0xbd, 0xbd, {"Lunar Lake", 4, 2, 0, true}},
    {kIntel, 6, 0xc5, 0xc6, {"Arrow Lake", 4, 2, 0, true}},
    {kIntel, 6, 0xbe, 0xbe, {"Alder Lake-N", 4, 1, 0, false}},  // 128-bit pipes
};

// Vector registers the instruction set has in this build.
std::size_t Registers(Isa isa) {
#if defined(__x86_64__)
    return isa == Isa::Avx512 ? 32 : 16;
#else
    static_cast<void>(isa);
    return 8;
#endif
}

// The smallest block at least `wanted`, or the largest within `most`.
std::size_t BlockOf(std::size_t wanted, std::size_t most) {
    std::size_t chosen = 1;
    for (std::size_t b : kBlockSizes)
        if (b <= most) {
            chosen = b;
            if (b >= wanted) break;
        }
    return chosen;
}

// Seconds for a short run of one kernel at one block, the best of five: about
// a millisecond a block size and kernel.
double Time(void (*kernel)(double*, double*, const MapConstants&, const MapConstants&, std::size_t,
                           std::size_t),
            std::size_t block) {
    std::vector<double> first(kMixValues), second(first.size());
    double best = 1e9;
    for (int attempt = 0; attempt < 5; ++attempt) {
        SeedChains(first.data(), kMixChains, true);  // the fma kernel reads x and y only
        SeedChains(second.data(), kMixChains, true);
        const auto start = std::chrono::steady_clock::now();
        kernel(first.data(), second.data(), kMap, kMap, 2048, block);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

// The best block within `most` among multiples of `step` (fma-add's pairs: 2).
std::size_t Fastest(void (*kernel)(double*, double*, const MapConstants&, const MapConstants&,
                                   std::size_t, std::size_t),
                    std::size_t most, std::size_t step) {
    std::size_t chosen = step;
    double best = 1e9;
    for (std::size_t b : kBlockSizes) {
        if (b > most) break;
        if (b % step) continue;
        const double t = Time(kernel, b);
        if (t < best * 0.97) {  // a larger block must earn its registers
            best = t;
            chosen = b;
        }
    }
    return chosen;
}

}  // namespace

ChainCounts ChooseChainCounts(Isa isa, const std::optional<CoreFpu>& core) {
    ChainCounts counts;
    const TwinKernels* kernels = KernelsFor(isa);
    if (!kernels || !kernels->fma) return counts;
    // Up to eight vectors a copy in the 64-bit build (the compiler keeps what
    // does not fit in memory operands); the 32-bit build has eight registers.
    const std::size_t most = Registers(isa) >= 16 ? 8 : 1;
    if (core) {
        const unsigned pipes = isa == Isa::Avx512 ? core->pipes512 : core->pipes256;
        // FMAs to keep in flight; each chain has one at a time, two copies
        // share the pipes. The fma load wants half as many again as in theory
        // (the out-of-order window is not perfect). fma-add takes six where
        // they fit: a sum's four additions a step need a step of four adder
        // latencies (12 cycles on Zen 2 to 4), which twelve chains give at
        // full FMA rate, and six fill 30 of AVX-512's 32 registers. AVX2's
        // sixteen hold four vectors a copy of either load, written out with
        // some chains' y in memory; more spill, and the spills cost more than
        // the chains gain (Zen 5: fma 44 GFLOP/s at four against 38 at six,
        // fma-add 54 against 41).
        const std::size_t inFlight = std::size_t{core->latency} * pipes;
        counts.fma = BlockOf(inFlight * 3 / 4, Registers(isa) == 16 ? 4 : most);
        counts.fmaAdd = most < 6 ? 1 : Registers(isa) == 16 ? 4 : 6;
        return counts;
    }
    counts.fma = Fastest(kernels->fma, most, 1);
    counts.fmaAdd = Fastest(kernels->fmaAdd, most, 2);
    return counts;
}

Processor IdentifyProcessor() {
    Processor p;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(0, &a, &b, &c, &d)) return p;
    char vendor[13] = {};
    std::memcpy(vendor, &b, 4);
    std::memcpy(vendor + 4, &d, 4);
    std::memcpy(vendor + 8, &c, 4);
    p.vendor = vendor;
    __get_cpuid(1, &a, &b, &c, &d);
    p.family = (a >> 8) & 0xf;
    p.model = (a >> 4) & 0xf;
    if (p.family == 0xf) p.family += (a >> 20) & 0xff;
    if (p.family >= 0x6) p.model += ((a >> 16) & 0xf) << 4;
    return p;
}

std::optional<CoreFpu> KnownCore(const Processor& p) {
    for (const ModelRange& r : kCores)
        if (p.vendor == r.vendor && p.family == r.family && p.model >= r.firstModel &&
            p.model <= r.lastModel)
            return r.fpu;
    return std::nullopt;
}

const ChainCounts& ChainCountsFor(Isa isa) {
    static const ChainCounts none;
    switch (isa) {
        case Isa::Avx2: {
            static const ChainCounts counts =
                ChooseChainCounts(Isa::Avx2, KnownCore(IdentifyProcessor()));
            return counts;
        }
        case Isa::Avx512: {
            static const ChainCounts counts =
                ChooseChainCounts(Isa::Avx512, KnownCore(IdentifyProcessor()));
            return counts;
        }
        default:
            return none;
    }
}

}  // namespace vload
