// The flip probe: each load's state is its result layout (the integer load's
// its IntState), so a run of half the work, a flip and the other half is the
// cycle a fault would have spoilt.
#include "tools/stress/loads/flip_probe.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "tools/stress/loads/vector_loads.h"

namespace vload {
namespace {

BitClass ClassOf(int bit) {
    return bit == 63 ? kSign : bit >= 52 ? kExponent : kMantissa;
}

template <typename T>
void Flip(T& value, int bit) {
    static_assert(sizeof(T) <= 8, "one word");
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    bits ^= std::uint64_t{1} << bit;
    std::memcpy(&value, &bits, sizeof value);
}

bool Same(const double* a, const double* b, std::size_t n) {
    return std::memcmp(a, b, n * sizeof(double)) == 0;
}

// Floating-point state: `words` values, each in one chain (or pair of chains
// with their sum) and one group (x, y, sum); a run flips every value of one
// group, one chain's value at most.
struct DoubleSubject {
    std::size_t words;
    std::size_t (*chainOf)(std::size_t word);
    std::size_t (*groupOf)(std::size_t word);
    std::function<void(double* first, double* second)> seed;
    std::function<void(double* first, double* second, bool secondHalf)> run;
};

FlipTally Probe(const DoubleSubject& s, int copy) {
    FlipTally tally;
    std::vector<double> first(s.words), second(s.words);
    s.seed(first.data(), second.data());
    s.run(first.data(), second.data(), false);
    s.run(first.data(), second.data(), true);
    const std::vector<double> clean[2] = {first, second};
    std::vector<std::vector<std::size_t>> chains;
    std::size_t groups = 0;
    for (std::size_t w = 0; w < s.words; ++w) {
        const std::size_t chain = s.chainOf(w);
        if (chain >= chains.size()) chains.resize(chain + 1);
        chains[chain].push_back(w);
        groups = std::max(groups, s.groupOf(w) + 1);
    }
    for (std::size_t group = 0; group < groups; ++group) {
        for (std::size_t rotation = 0; rotation < 64; ++rotation) {
            s.seed(first.data(), second.data());
            s.run(first.data(), second.data(), false);
            std::vector<double>& hit = copy ? second : first;
            for (std::size_t w = 0; w < s.words; ++w)
                if (s.groupOf(w) == group) Flip(hit[w], static_cast<int>((w + rotation) % 64));
            s.run(first.data(), second.data(), true);
            for (std::size_t w = 0; w < s.words; ++w) {
                if (s.groupOf(w) != group) continue;
                bool masked = true;
                for (std::size_t v : chains[s.chainOf(w)])
                    masked &= Same(&hit[v], &clean[copy][v], 1);
                const BitClass kind = ClassOf(static_cast<int>((w + rotation) % 64));
                ++tally.flips[kind];
                tally.masked[kind] += masked;
            }
            const std::vector<double>& other = copy ? first : second;
            tally.otherCopyChanged |= !Same(other.data(), clean[1 - copy].data(), s.words);
        }
    }
    return tally;
}

// The fma load: every x, then every y.
std::size_t ChainInRows(std::size_t w) {
    return w % kFmaChains;
}
std::size_t RowOf(std::size_t w) {
    return w / kFmaChains;
}
// fma-add: a pair of chains and their sum are one unit; a run flips one value of
// a unit at most (the first chains' x, the second chains' x, ... the sums).
std::size_t UnitOf(std::size_t w) {
    return w % kMixSums;
}
std::size_t PartOfUnit(std::size_t w) {
    return w / kMixSums;
}
// The cache load: PairedX.
std::size_t ChainInPairs(std::size_t w) {
    return w / 16 * 8 + w % 8;
}
std::size_t HalfOfPair(std::size_t w) {
    return w % 16 / 8;
}

// Integer state: each generator with its CRC32C chain, and each AES state.
FlipTally ProbeInt(const TwinKernels& kernels, int copy) {
    FlipTally tally;
    auto a = std::make_unique<IntState>(), b = std::make_unique<IntState>();
    auto run = [&](bool secondHalf) {
        kernels.intSteps(*a, *b, secondHalf ? kIntSteps / 2 : 0, kIntSteps / 2);
    };
    auto start = [&] {
        SeedIntState(*a);
        SeedIntState(*b);
        run(false);
    };
    start();
    run(true);
    const IntState clean[2] = {*a, *b};
    auto same = [](const void* x, const void* y, std::size_t n) {
        return std::memcmp(x, y, n) == 0;
    };
    // Generators and CRC32C words: lane j, bit (j + rotation) of its word.
    for (int field = 0; field < 2; ++field) {
        const int width = field == 0 ? 64 : 32;
        for (int rotation = 0; rotation < width; ++rotation) {
            start();
            IntState& hit = copy ? *b : *a;
            for (std::size_t j = 0; j < kIntLanes; ++j) {
                const int bit = static_cast<int>((j + static_cast<std::size_t>(rotation)) %
                                                 static_cast<std::size_t>(width));
                if (field == 0)
                    Flip(hit.mwc[j], bit);
                else
                    Flip(hit.crc[j], bit);
            }
            run(true);
            for (std::size_t j = 0; j < kIntLanes; ++j) {
                ++tally.flips[kMantissa];
                tally.masked[kMantissa] += same(&hit.mwc[j], &clean[copy].mwc[j], 8) &&
                                           same(&hit.crc[j], &clean[copy].crc[j], 4);
            }
            tally.otherCopyChanged |=
                !same(copy ? a.get() : b.get(), &clean[1 - copy], offsetof(IntState, keys));
        }
    }
    // AES states: state s, bit (8s + rotation) of its 128, a quarter of the positions.
    for (int rotation = 0; rotation < 128; rotation += 4) {
        start();
        IntState& hit = copy ? *b : *a;
        for (std::size_t s = 0; s < kAesStates; ++s) {
            const std::size_t bit = (8 * s + static_cast<std::size_t>(rotation)) % 128;
            hit.aes[s][bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        }
        run(true);
        for (std::size_t s = 0; s < kAesStates; ++s) {
            ++tally.flips[kMantissa];
            tally.masked[kMantissa] += same(hit.aes[s], clean[copy].aes[s], 16);
        }
        tally.otherCopyChanged |=
            !same(copy ? a.get() : b.get(), &clean[1 - copy], offsetof(IntState, keys));
    }
    return tally;
}

}  // namespace

FlipTally ProbeFmaKernel(FmaKernel kernel, std::size_t steps, int copy, std::size_t block) {
    return Probe({kFmaValues, ChainInRows, RowOf,
                  [](double* f, double* s) {
                      SeedChains(f, kFmaChains, false);
                      SeedChains(s, kFmaChains, false);
                  },
                  [=](double* f, double* s, bool) { kernel(f, s, kMap, kMap, steps / 2, block); }},
                 copy);
}

FlipTally ProbeFlips(const LoadDescriptor& load, Isa isa, int copy) {
    const TwinKernels* kernels = KernelsFor(isa);
    if (!kernels || (&load != &kIntLoad && !kernels->fma)) return {};
    const ChainCounts& counts = ChainCountsFor(isa);
    if (&load == &kFmaLoad) return ProbeFmaKernel(kernels->fma, kFmaSteps, copy, counts.fma);
    if (&load == &kFmaAddLoad) {
        const FmaKernel fmaAdd = kernels->fmaAdd;
        const std::size_t block = counts.fmaAdd;
        return Probe(
            {kMixValues, UnitOf, PartOfUnit,
             [](double* f, double* s) {
                 SeedChains(f, kMixChains, true);
                 SeedChains(s, kMixChains, true);
             },
             [=](double* f, double* s, bool) { fmaAdd(f, s, kMap, kMap, kMixSteps / 2, block); }},
            copy);
    }
    if (&load == &kCacheLoad) {
        // Past the middle every chunk has had its first visit, so every element
        // is live and follows only its own chain.
        auto seeds = std::make_shared<std::vector<double>>(kCacheChunk);
        SeedPairedChains(seeds->data(), kCacheChunk / 2);
        const TwinKernels& k = *kernels;
        return Probe({kCacheElements, ChainInPairs, HalfOfPair, [](double*, double*) {},
                      [=, &k](double* f, double* s, bool secondHalf) {
                          const std::size_t half = kCacheRounds / 2;
                          CacheRounds(k, f, s, seeds->data(), seeds->data(), kMap, kMap,
                                      secondHalf ? half : 0, secondHalf ? kCacheRounds : half);
                      }},
                     copy);
    }
    if (&load == &kIntLoad) return ProbeInt(*kernels, copy);
    return {};
}

}  // namespace vload
