// The vector loads: known answers from the portable reference and from every
// variant this processor runs, one-bit faults caught where they were put, the
// arithmetic's promises checked over a whole cycle, and the FLOP count.
#include <gtest/gtest.h>
#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

#include "engine/verification.h"
#include "tools/stress/digest.h"
#include "tools/stress/isa.h"
#include "tools/stress/loads/flip_probe.h"
#include "tools/stress/loads/kernels.h"
#include "tools/stress/loads/lane_plan.h"
#include "tools/stress/loads/vector_loads.h"

namespace {

using namespace vload;

const LoadDescriptor* const kLoads[] = {&kFmaLoad, &kFmaAddLoad, &kCacheLoad, &kIntLoad};

// Base, then every variant the load has and this processor runs.
std::vector<Isa> VariantsHere(const LoadDescriptor& load) {
    std::vector<Isa> isas{Isa::Base};
    for (Isa isa : {Isa::Sse2, Isa::Avx2, Isa::Avx512})
        if (load.isas & MachineIsas() & IsaBit(isa)) isas.push_back(isa);
    return isas;
}

std::vector<double> Values(const PassResults& pass) {
    std::vector<double> values;
    for (std::size_t i = 0; i < pass.count; ++i)
        values.insert(values.end(), pass.arrays[i], pass.arrays[i] + pass.length);
    return values;
}

std::vector<double> OneCycle(const LoadDescriptor& load, Isa isa) {
    auto instance = load.make(isa);
    if (!instance) {
        ADD_FAILURE() << load.name << " has no " << IsaName(isa) << " instance";
        return {};
    }
    EXPECT_EQ(instance->RunCycle(1, {}).mismatches, 0u) << load.name << " " << IsaName(isa);
    return Values(instance->FirstPass());
}

TEST(VectorLoads, EveryVariantHereGivesTheKnownAnswerInEveryCycle) {
    for (const LoadDescriptor* load : kLoads) {
        const std::vector<double> reference = OneCycle(*load, Isa::Base);
        ASSERT_EQ(reference.size(), load->layout.size()) << load->name;
        EXPECT_EQ(ResultsDigest(reference.data(), reference.size()), load->knownDigest)
            << load->name << " computes 0x" << std::hex
            << ResultsDigest(reference.data(), reference.size());
        const PassResults expected = ResultsIn(reference.data(), load->layout);
        for (Isa isa : VariantsHere(*load)) {
            // The chain count changes only the interleaving: every block, one result.
            const TwinKernels* kernels = KernelsFor(isa);
            auto twin = load == &kFmaLoad      ? kernels->fma
                        : load == &kFmaAddLoad ? kernels->fmaAdd
                                               : nullptr;
            for (std::size_t block : kBlockSizes) {
                if (!twin || isa == Isa::Base) break;
                std::vector<double> first(reference.size()), second;
                SeedChains(first.data(), kFmaChains, load == &kFmaAddLoad);
                second = first;
                twin(first.data(), second.data(), kMap, kMap,
                     load == &kFmaLoad ? kFmaSteps : kMixSteps, block);
                EXPECT_EQ(first, reference) << load->name << " " << IsaName(isa) << " " << block;
                EXPECT_EQ(second, reference) << load->name << " " << IsaName(isa) << " " << block;
            }
            auto instance = load->make(isa);
            ASSERT_TRUE(instance) << load->name << " " << IsaName(isa);
            for (std::uint64_t cycle = 1; cycle <= 2; ++cycle) {
                EXPECT_EQ(instance->RunCycle(cycle, {}).mismatches, 0u);
                const CycleVerdict v = CompareResultsWith(instance->FirstPass(), expected);
                EXPECT_EQ(v.mismatches, 0u)
                    << load->name << " " << IsaName(isa) << " cycle " << cycle << " element "
                    << (v.first ? v.first->element : 0);
            }
        }
    }
}

TEST(VectorLoads, VariantsThisBuildLacksOrTheProcessorLacksAreRefused) {
    EXPECT_EQ(kFmaLoad.make(Isa::Sse2), nullptr);  // no fused multiply-add to match
    EXPECT_EQ(kFmaAddLoad.make(Isa::Sse2), nullptr);
    EXPECT_EQ(kCacheLoad.make(Isa::Sse2), nullptr);
    for (const LoadDescriptor* load : kLoads)
        for (Isa isa : {Isa::Sse2, Isa::Avx2, Isa::Avx512})
            if (!(MachineIsas() & IsaBit(isa))) {
                EXPECT_EQ(load->make(isa), nullptr) << IsaName(isa);
            }
}

// The fault the seam puts in: one bit of one element of one array.
struct Fault {
    std::size_t array, element;
    int bit;
};
Fault g_fault;
void FlipBit(double* const* arrays, std::size_t count) {
    ASSERT_LT(g_fault.array, count);
    double& value = arrays[g_fault.array][g_fault.element];
    std::uint64_t bits = DoubleBits(value) ^ (std::uint64_t{1} << g_fault.bit);
    std::memcpy(&value, &bits, sizeof value);
}

TEST(VectorLoads, AOneBitFaultInOneCopyIsCaughtWithItsElementAndMask) {
    const struct {
        const LoadDescriptor* load;
        Fault fault;
    } cases[] = {
        {&kFmaLoad, {0, 7, 0}},   {&kFmaLoad, {0, kFmaValues - 1, 51}}, {&kFmaAddLoad, {0, 200, 0}},
        {&kCacheLoad, {0, 5, 3}}, {&kCacheLoad, {3, 8191, 0}},          {&kIntLoad, {2, 33, 0}},
        {&kIntLoad, {3, 63, 20}},
    };
    for (const auto& c : cases) {
        g_fault = c.fault;
        const Isa isa = VariantsHere(*c.load).back();
        auto instance = c.load->make(isa);
        ASSERT_TRUE(instance);
        const std::vector<double> clean = OneCycle(*c.load, isa);

        const CycleVerdict one = instance->RunCycle(1, {FlipBit, false});
        EXPECT_EQ(one.mismatches, 1u) << c.load->name;
        ASSERT_TRUE(one.first) << c.load->name;
        EXPECT_EQ(one.first->array, static_cast<int>(c.fault.array)) << c.load->name;
        EXPECT_EQ(one.first->element, c.load->layout.firstElement + c.fault.element);
        EXPECT_EQ(one.first->xorMask, std::uint64_t{1} << c.fault.bit) << c.load->name;

        // In both copies the two-pass check is blind; the first copy carries
        // the fault to the ballot and the known answer, at that element only.
        EXPECT_EQ(instance->RunCycle(2, {FlipBit, true}).mismatches, 0u) << c.load->name;
        const std::vector<double> both = Values(instance->FirstPass());
        const std::size_t at = c.fault.array * c.load->layout.length + c.fault.element;
        for (std::size_t i = 0; i < both.size(); ++i)
            EXPECT_EQ(DoubleBits(both[i]) ^ DoubleBits(clean[i]),
                      i == at ? std::uint64_t{1} << c.fault.bit : 0)
                << c.load->name << " element " << i;
    }
}

// Processors of the last ten years, one or two models of each family, find
// their row; the chain counts are block sizes the kernels have, a handful of
// chains on a wide core and one in the 32-bit build's eight registers.
TEST(VectorLoads, KnownCoresFindTheirRowAndOthersAreTimed) {
    const struct {
        const char* vendor;
        unsigned family, model;
        const char* core;  // null: not in the table
        unsigned pipes512;
    } cases[] = {
        {"AuthenticAMD", 0x17, 0x01, "Zen, Zen+", 0},
        {"AuthenticAMD", 0x17, 0x71, "Zen 2", 0},
        {"AuthenticAMD", 0x19, 0x21, "Zen 3", 0},
        {"AuthenticAMD", 0x19, 0x61, "Zen 4", 1},
        {"AuthenticAMD", 0x19, 0x11, "Zen 4", 1},
        {"AuthenticAMD", 0x1a, 0x02, "Zen 5", 2},
        {"AuthenticAMD", 0x1a, 0x44, "Zen 5", 2},
        {"AuthenticAMD", 0x1a, 0x24, "Zen 5 (256-bit)", 1},
        {"GenuineIntel", 6, 0x5e, "Skylake", 0},
        {"GenuineIntel", 6, 0x55, "Skylake-SP, Cascade Lake", 2},
        {"GenuineIntel", 6, 0x7e, "Ice Lake", 1},
        {"GenuineIntel", 6, 0x8f, "Sapphire Rapids", 2},
        {"GenuineIntel", 6, 0x97, "Alder Lake", 0},
        {"GenuineIntel", 6, 0xb7, "Raptor Lake", 0},
        {"GenuineIntel", 6, 0xc6, "Arrow Lake", 0},
        {"GenuineIntel", 6, 0x3c, nullptr, 0},
        {"HygonGenuine", 0x18, 0x01, nullptr, 0},
        {"AuthenticAMD", 0x15, 0x02, nullptr, 0},
    };
    for (const auto& c : cases) {
        const auto core = KnownCore({c.vendor, c.family, c.model});
        SCOPED_TRACE(std::string(c.vendor) + " " + std::to_string(c.family) + " " +
                     std::to_string(c.model));
        ASSERT_EQ(core.has_value(), c.core != nullptr);
        if (!core) continue;
        EXPECT_STREQ(core->name, c.core);
        EXPECT_EQ(core->pipes512, c.pipes512);
    }
    const std::size_t* const sizes = std::begin(kBlockSizes);
    for (Isa isa : {Isa::Avx2, Isa::Avx512}) {
        if (!KernelsFor(isa)) continue;
        for (const auto& core :
             {KnownCore({"AuthenticAMD", 0x1a, 0x02}), std::optional<CoreFpu>()}) {
            const ChainCounts counts = ChooseChainCounts(isa, core);
            for (std::size_t block : {counts.fma, counts.fmaAdd}) {
                EXPECT_NE(std::find(sizes, std::end(kBlockSizes), block), std::end(kBlockSizes));
#if defined(__x86_64__)
                // A known core's count is its table row's; a timed one is
                // whatever won on this machine (any size, under a sanitizer too).
                if (core) {
                    EXPECT_GE(block, 4u) << IsaName(isa);
                }
#else
                EXPECT_EQ(block, 1u) << IsaName(isa);
#endif
            }
        }
    }
}

// The copies share no constant: at every block size (the written-out kernels
// included), a copy given other constants computes exactly what both copies
// compute with those constants, and the other copy what both do with its own.
TEST(VectorLoads, EachCopyStepsWithItsOwnConstants) {
    MapConstants other = kMap;
    other.b = std::nextafter(kMap.b, 0.0);
    for (Isa isa : {Isa::Avx2, Isa::Avx512}) {
        const TwinKernels* kernels = KernelsFor(isa);
        if (!kernels) continue;
        SCOPED_TRACE(IsaName(isa));
        for (const bool sums : {false, true}) {
            const std::size_t values = sums ? kMixValues : kFmaValues;
            auto run = [&](const MapConstants& k1, const MapConstants& k2, std::size_t block) {
                std::array<std::vector<double>, 2> pair;
                for (auto& copy : pair) {
                    copy.resize(values);
                    SeedChains(copy.data(), kMixChains, sums);
                }
                (sums ? kernels->fmaAdd : kernels->fma)(pair[0].data(), pair[1].data(), k1, k2, 64,
                                                        block);
                return pair;
            };
            const auto sound = run(kMap, kMap, 1)[0], spoilt = run(other, other, 1)[0];
            ASSERT_NE(sound, spoilt);
            for (std::size_t block : kBlockSizes) {
                const auto firstChanged = run(other, kMap, block);
                const auto secondChanged = run(kMap, other, block);
                EXPECT_EQ(firstChanged[0], spoilt) << "block " << block << " sums " << sums;
                EXPECT_EQ(firstChanged[1], sound) << "block " << block << " sums " << sums;
                EXPECT_EQ(secondChanged[0], sound) << "block " << block << " sums " << sums;
                EXPECT_EQ(secondChanged[1], spoilt) << "block " << block << " sums " << sums;
            }
        }
        for (int changed = 0; changed < 2; ++changed) {
            const MapConstants& k1 = changed == 0 ? other : kMap;
            const MapConstants& k2 = changed == 1 ? other : kMap;
            std::vector<double> cache[2], seeds(kCacheChunk);
            for (auto& copy : cache) copy.resize(kCacheElements);
            SeedPairedChains(seeds.data(), kCacheChunk / 2);
            CacheRounds(*kernels, cache[0].data(), cache[1].data(), seeds.data(), seeds.data(), k1,
                        k2, 0, 40);
            std::size_t differ = 0;
            for (std::size_t i = 0; i < kCacheElements; ++i)
                differ += DoubleBits(cache[0][i]) != DoubleBits(cache[1][i]);
            EXPECT_GT(differ, kCacheElements / 4) << "copy " << changed;
        }
        // The integer work: another multiplier or other round keys in one copy.
        for (int field = 0; field < 2; ++field) {
            auto a = std::make_unique<IntState>(), b = std::make_unique<IntState>();
            SeedIntState(*a);
            SeedIntState(*b);
            if (field == 0)
                b->multiplier = kMwcMultiplier - 2;
            else
                b->keys[1][5] ^= 1;
            kernels->intSteps(*a, *b, 0, 64);
            const bool mwcDiffer = std::memcmp(a->mwc, b->mwc, sizeof a->mwc) != 0;
            const bool aesDiffer = std::memcmp(a->aes, b->aes, sizeof a->aes) != 0;
            EXPECT_EQ(mwcDiffer, field == 0) << "field " << field;
            EXPECT_EQ(aesDiffer, field == 1) << "field " << field;
        }
    }
}

// The old map, x*x + c (y only trails x): even, so a flipped sign of x
// vanishes at the next step.
void EvenMap(double* first, double* second, const MapConstants&, const MapConstants&,
             std::size_t steps, std::size_t) {
    for (double* copy : {first, second})
        for (std::size_t i = 0; i < kFmaChains; ++i)
            for (std::size_t step = 0; step < steps; ++step) {
                copy[kFmaChains + i] = copy[i];
                copy[i] = std::fma(copy[i] - 1.5, copy[i] - 1.5, -1.9);
            }
}

// A hardware fault as a debugger would put it: one bit of one copy's live state
// flipped halfway through the work. None of sign or exponent, and at most one
// flip in 200 overall, may leave the results as a sound core gives them, and
// no flip may reach the other copy.
TEST(VectorLoads, AFlippedStateBitInEitherCopyShowsInTheResults) {
    for (const LoadDescriptor* load : kLoads)
        for (Isa isa : VariantsHere(*load)) {
            if (isa == Isa::Base) continue;  // the same work, far slower
            for (int copy = 0; copy < 2; ++copy) {
                const FlipTally t = ProbeFlips(*load, isa, copy);
                SCOPED_TRACE(std::string(load->name) + " " + IsaName(isa) + " copy " +
                             std::to_string(copy));
                EXPECT_GT(t.Flips(), 1000u);
                EXPECT_EQ(t.masked[kSign], 0u) << "of " << t.flips[kSign];
                EXPECT_EQ(t.masked[kExponent], 0u) << "of " << t.flips[kExponent];
                EXPECT_LE(200 * t.Masked(), t.Flips()) << t.Masked() << " of " << t.Flips();
                EXPECT_FALSE(t.otherCopyChanged);
            }
        }
    // The probe sees what the old map hid.
    const FlipTally even = ProbeFmaKernel(EvenMap, 256, 1);
    EXPECT_EQ(even.masked[kSign], even.flips[kSign]);
}

// Every value a chain takes in a cycle, from the reference's own seeds.
struct Trace {
    double lowest = 1e300, highest = -1e300;
    bool repeats = false;
};

TEST(VectorLoads, ChainsStayInOneBinadeAndKeepMovingThroughAWholeCycle) {
    const std::vector<double> fma = OneCycle(kFmaLoad, Isa::Base);
    const std::vector<double> mix = OneCycle(kFmaAddLoad, Isa::Base);
    const struct {
        const char* what;
        std::size_t steps;
        const std::vector<double>* results;
        bool sums;
    } cases[] = {{"fma", kFmaSteps, &fma, false}, {"fma-add", kMixSteps, &mix, true}};
    for (const auto& c : cases) {
        Trace chains, sums;
        std::size_t diverging = 0;
        // A unit: one chain of fma's, or a pair of fma-add's with their sum.
        const std::size_t width = c.sums ? 2 : 1, units = kFmaChains / width;
        for (std::size_t u = 0; u < units; ++u) {
            double x[2], y[2], nx[2], ny[2], sum = SumSeed(u);
            std::vector<double> seen[2];
            for (std::size_t m = 0; m < width; ++m) {
                x[m] = ChainSeed(u + m * units);
                y[m] = PreviousSeed(u + m * units);
                // A neighbour one ulp away: chaos shows as a difference grown large.
                nx[m] = std::nextafter(x[m], 2.0);
                ny[m] = y[m];
            }
            for (std::size_t step = 0; step < c.steps; ++step)
                for (std::size_t m = 0; m < width; ++m) {
                    const double t = ExactFma(x[m], kMap.a, kMap.b);
                    const double next = ExactFma(x[m], t, -y[m]);
                    y[m] = x[m];
                    x[m] = next;
                    sum = step % 2 ? ExactFma(ExactFma(sum, 1, -t), 1, x[m])
                                   : ExactFma(ExactFma(sum, 1, t), 1, -x[m]);
                    const double nt = ExactFma(nx[m], kMap.a, kMap.b);
                    const double nnext = ExactFma(nx[m], nt, -ny[m]);
                    ny[m] = nx[m];
                    nx[m] = nnext;
                    seen[m].push_back(x[m]);
                    chains.lowest = std::min(chains.lowest, x[m]);
                    chains.highest = std::max(chains.highest, x[m]);
                    sums.lowest = std::min(sums.lowest, sum);
                    sums.highest = std::max(sums.highest, sum);
                }
            for (std::size_t m = 0; m < width; ++m) {
                const std::size_t i = u + m * units;
                diverging += std::fabs(nx[m] - x[m]) > 1e-3;
                std::sort(seen[m].begin(), seen[m].end());
                chains.repeats |=
                    std::adjacent_find(seen[m].begin(), seen[m].end()) != seen[m].end();
                // The trace is the load's own arithmetic: it ends where the load ends.
                EXPECT_EQ(DoubleBits(x[m]), DoubleBits((*c.results)[i]))
                    << c.what << " chain " << i;
                EXPECT_EQ(DoubleBits(y[m]), DoubleBits((*c.results)[kFmaChains + i])) << c.what;
            }
            if (c.sums) {
                EXPECT_EQ(DoubleBits(sum), DoubleBits((*c.results)[2 * kFmaChains + u])) << c.what;
            }
        }
        EXPECT_FALSE(chains.repeats) << c.what << ": a chain came back to a value it had";
        EXPECT_GE(chains.lowest, 1.125) << c.what;
        EXPECT_LT(chains.highest, 1.875) << c.what;
        EXPECT_GT(diverging, kFmaChains * 2 / 3) << c.what << ": most chains are chaotic";
        if (c.sums) {
            EXPECT_GE(sums.lowest, 0x1p30) << c.what;
            EXPECT_LT(sums.highest, 0x1p31) << c.what;
        }
    }
}

TEST(VectorLoads, TheCacheAndIntegerResultsAreOrdinaryNumbers) {
    for (const LoadDescriptor* load : {&kCacheLoad, &kIntLoad}) {
        const std::vector<double> values = OneCycle(*load, Isa::Base);
        for (double v : values) {
            ASSERT_TRUE(v == 0 || std::isnormal(v)) << load->name << " " << v;
            if (load == &kIntLoad) {
                ASSERT_EQ(v, std::floor(v)) << "a 32-bit word is a whole number";
                ASSERT_LT(v, 4294967296.0);
            } else {
                ASSERT_GE(v, 1.125);
                ASSERT_LT(v, 1.875);
            }
        }
        // Every element follows its own chain: none was skipped or computed
        // alike with another.
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const auto distinct = std::unique(sorted.begin(), sorted.end()) - sorted.begin();
        EXPECT_GT(static_cast<double>(distinct), 0.99 * static_cast<double>(values.size()))
            << load->name;
    }
}

__attribute__((target("fma"))) double HardwareFma(double a, double b, double c) {
    return _mm_cvtsd_f64(_mm_fmadd_sd(_mm_set_sd(a), _mm_set_sd(b), _mm_set_sd(c)));
}

double FromBits(std::uint64_t bits) {
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// The portable fused multiply-add against the processor's, bit for bit.
TEST(VectorLoads, ThePortableFusedMultiplyAddRoundsAsTheHardwareDoes) {
    if (!(MachineIsas() & IsaBit(Isa::Avx2))) GTEST_SKIP() << "no FMA here to compare with";
    const double tiny = FromBits(1), least = 2.2250738585072014e-308, big = 1.7976931348623157e308;
    const double third = 1.0 / 3.0, ulp = 0x1p-52;
    const struct {
        double a, b, c;
    } cases[] = {
        {third, 3.0, -1.0},            // the product's lost bits alone
        {1.0 + ulp, 1.0 - ulp, -1.0},  // cancellation down to the last bits
        {1.0 + ulp, 1.0, ulp / 2},     // a tie, to the even neighbour above
        {1.0, 1.0, ulp / 2},           // a tie, to the even neighbour below
        {1.0 + ulp, 1.0 + ulp, 0.0},   // the product's own low bits
        {0x1p-30, 0x1p-30, 1.0},       // far apart: only a sticky bit
        {-0.0, 5.0, -0.0},             // zeros and their signs
        {0.0, -5.0, 0.0},
        {2.0, 3.0, -6.0},   // exact zero: +0
        {least, 0.5, 0.0},  // below the normal range
        {least, 0.5, -tiny},
        {tiny, 0.5, 0.0},                    // a tie at the bottom
        {big, 2.0, -big},                    // a product past the range, brought back
        {big, 1.0, big},                     // overflow
        {1.3781, -2.72265625, 6.083984375},  // the chains' own map
        {1.3781, 2.3318, -1.4921875},
        {1610612736.5, 1.0, -1.0 / 7.0},  // the sums' addition
    };
    for (const auto& c : cases)
        EXPECT_EQ(DoubleBits(ExactFma(c.a, c.b, c.c)), DoubleBits(HardwareFma(c.a, c.b, c.c)))
            << c.a << " * " << c.b << " + " << c.c;
    // And a stream of bit patterns of every finite kind, in a few exponent bands.
    std::uint64_t state = 0x2545f4914f6cdd1dull;
    auto next = [&] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return state;
    };
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t band = i % 3 == 0 ? 0x7fe : i % 3 == 1 ? 0x80 : 0x10;
        auto pick = [&] {
            const std::uint64_t r = next();
            const std::uint64_t field = 0x3ff - band / 2 + (r >> 52) % band;
            return FromBits((r & 0x800fffffffffffffull) | (field << 52));
        };
        const double a = pick(), b = pick(), c = pick();
        const double want = HardwareFma(a, b, c);
        if (!std::isfinite(want)) continue;
        ASSERT_EQ(DoubleBits(ExactFma(a, b, c)), DoubleBits(want)) << a << " * " << b << " + " << c;
    }
}

}  // namespace

// The kernels once more, over one scalar lane that counts what it executes.
namespace counting {

using namespace vload;
long g_fmas = 0, g_adds = 0;

#define LOADS_TARGET
#define LOADS_AES_TARGET __attribute__((target("aes,sse4.2")))
struct V {
    using D = double;
    static constexpr std::size_t kLanes = 1;
    static D Load(const double* p) { return *p; }
    static void Store(double* p, D v) { *p = v; }
    static D Set1(double v) { return v; }
    static D Fma(D a, D b, D c) { return ++g_fmas, ExactFma(a, b, c); }
    static D Fms(D a, D b, D c) { return ++g_fmas, ExactFma(a, b, -c); }
    static D Add(D a, D b) { return ++g_adds, ExactFma(a, 1.0, b); }
    static D Sub(D a, D b) { return ++g_adds, ExactFma(a, 1.0, -b); }
};
#include "tools/stress/loads/kernel_body.inc"
#undef LOADS_TARGET
#undef LOADS_AES_TARGET

TEST(VectorLoads, FlopsPerCycleCountsEveryOperationOfBothCopies) {
    const struct {
        const LoadDescriptor* load;
        void (*twin)(double*, double*, const MapConstants&, const MapConstants&, std::size_t,
                     std::size_t);
        std::size_t steps;
    } cases[] = {{&kFmaLoad, FmaTwin<V>, kFmaSteps}, {&kFmaAddLoad, FmaAddTwin<V>, kMixSteps}};
    for (const auto& c : cases) {
        auto instance = c.load->make(Isa::Base);
        ASSERT_TRUE(instance);
        instance->RunCycle(1, {});
        const std::vector<double> expected(instance->FirstPass().arrays[0],
                                           instance->FirstPass().arrays[0] + c.load->layout.size());
        // The load's own seeds: the reference's first cycle starts from them too.
        std::vector<double> first(c.load->layout.size()), second;
        SeedChains(first.data(), kFmaChains, c.load == &kFmaAddLoad);
        second = first;
        g_fmas = g_adds = 0;
        c.twin(first.data(), second.data(), kMap, kMap, c.steps, 3);
        EXPECT_EQ(2.0 * static_cast<double>(g_fmas) + static_cast<double>(g_adds),
                  c.load->flopsPerCycle)
            << c.load->name;
        EXPECT_EQ(first, expected) << c.load->name << ": one scalar lane gives other bits";
        EXPECT_EQ(second, expected) << c.load->name;
    }
}

}  // namespace counting
