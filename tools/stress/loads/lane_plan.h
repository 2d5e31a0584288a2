// The work of each vector load, defined lane by lane so that every instruction
// set computes the same bits: sizes, seeds and the map every chain iterates.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vload {

// Every floating-point chain holds two values, x and the x before it (y), and
// steps with two fused multiply-adds: t = a*x + b, then x*t - y becomes the new
// x and x the new y. That is x' + y = g(x) with g(x) = x*(a*x + b): a map that
// keeps area, so it forgets nothing. A flipped bit of y moves the new x by
// exactly the same amount (both lie in [1, 2), one binade, one grid), and a
// flipped bit of x lives on in the next y, so no flip is rounded away. With
// a = -697/256 the fixed point 1.5 is unstable and most chains wander a
// chaotic sea about it (the rest circle it), inside [1.2, 1.7] (the tests
// trace every chain), so a difference grows, nothing is ever near zero or
// denormal, and nothing comes to rest. The map is not even: its first
// operation reads x's sign, and a flipped sign or exponent bit leaves the sea
// and runs off to infinity or NaN.
struct MapConstants {
    double a, b;
};
constexpr MapConstants kMap{-2.72265625, 6.083984375};  // b = 2 - 1.5a: 1.5 is fixed

// Seeds are exact sums in a narrow band about the fixed point (1.5 - 1/128 plus
// a multiple of 2^-16, 1024 of them; y 1/128 below x), so x87 and SSE builds
// start from the same bits, all inside the sea.
constexpr double ChainSeed(std::size_t i) {
    return 1.4921875 + static_cast<double>(i % 1024) / 65536.0;
}
constexpr double PreviousSeed(std::size_t i) {
    return ChainSeed(i) - 0.0078125;
}

// fma: kFmaChains independent chains, each kFmaSteps steps (even: a kernel
// steps twice a turn, x and y trading registers). The results are every x,
// then every y. A kernel steps a block of chains at a time, as many as the
// processor keeps in flight (chain counts); each chain's own operations and
// their order are the same whatever the block, so every processor computes
// the same bits.
constexpr std::size_t kFmaChains = 480;
constexpr std::size_t kFmaValues = 2 * kFmaChains;
constexpr std::size_t kFmaSteps = 3276;

// fma-add: kMixChains multiply-add chains in pairs, chain i with chain
// i + kMixSums, and a sum beside each pair that takes in both of each chain's
// step values, t and the new x, the first chain's then the second's: on even
// steps s + t - x, on odd steps s - t + x. One sum to two chains leaves the
// registers for enough chains to keep the FMA pipes full, and still one
// addition per multiply-add. The sum wanders about its seed near 1.5 * 2^30
// and stays inside [2^30, 2^31), where a flipped bit shifts every later sum
// exactly: the values added have some thirty bits below the sum's last, so a
// tie, the one rounding that could undo the shift, is a one in 2^30 event.
// The results are every x, every y, then every sum.
constexpr std::size_t kMixChains = 480;
constexpr std::size_t kMixSums = kMixChains / 2;
constexpr std::size_t kMixSteps = 3276;
constexpr std::size_t kMixValues = 2 * kMixChains + kMixSums;
constexpr double SumSeed(std::size_t i) {
    return 1610612736.0 + static_cast<double>(i) / 256.0;
}

// Where chain `c` of a run of chains keeps its x in memory: groups of eight
// chains, eight x then eight y, so a vector of any width up to eight loads
// whole x and y vectors, and the layout is the same for every width. Its y is
// eight further on.
constexpr std::size_t PairedX(std::size_t c) {
    return c / 8 * 16 + c % 8;
}

// cache: every pair of elements (PairedX) is a chain stepped kCacheSteps times
// per visit, loaded and stored each visit. Chunk 0 (8 KiB a copy) is the first-level region,
// visited every round from its seeds on; chunks 1.. (248 KiB a copy) are the
// second-level region, one chunk a round, seven times over a cycle. A chunk's
// first visit starts from the first-level region as it then is, so every
// pair of elements of the buffer follows its own chain.
constexpr std::size_t kCacheArrays = 4;
constexpr std::size_t kCacheArrayLength = 8192;
constexpr std::size_t kCacheElements = kCacheArrays * kCacheArrayLength;
constexpr std::size_t kCacheChunk = 1024;
constexpr std::size_t kCacheChunks = kCacheElements / kCacheChunk;
constexpr std::size_t kCacheSecondLevelChunks = kCacheChunks - 1;
constexpr std::size_t kCacheRounds = 7 * kCacheSecondLevelChunks;
constexpr std::size_t kCacheSteps = 4;  // even, as for fma
// Chain visits in one copy's cycle (two chunks a round, half a chunk's elements
// each), each kCacheSteps steps of two multiply-adds.
constexpr std::size_t kCacheVisits = kCacheRounds * kCacheChunk;

// int: multiply-with-carry generators (x = lo32(x) * A + hi32(x)), AES rounds
// and CRC32C chains. Step s advances every generator and every AES state, and
// the CRC32C chains of group s % 4 each take in their own generator's word.
// Each copy's state carries its own multiplier and round keys, so the copies
// share no register.
constexpr std::size_t kIntLanes = 64;
constexpr std::size_t kAesStates = 16;
constexpr std::size_t kCrcGroups = 4;
constexpr std::size_t kIntSteps = 8192;
constexpr std::uint64_t kMwcMultiplier = 4294957665u;
constexpr std::size_t kIntResultArrays = 4;  // low words, high words, AES words, CRC32C

struct alignas(64) IntState {
    std::uint64_t mwc[kIntLanes];
    std::uint8_t aes[kAesStates][16];
    std::uint32_t crc[kIntLanes];
    std::uint8_t keys[kCrcGroups][16];  // step s uses key s % 4
    std::uint64_t multiplier;
};
extern const std::uint8_t kAesRoundKeys[kCrcGroups][16];

void SeedIntState(IntState& state);
// Each 32-bit word as an exact double: low words, high words, AES, CRC32C.
void StoreIntResults(const IntState& state, double* values);

// a*b + c rounded once to nearest even, in integer arithmetic: the same bits
// on every build, whatever its runtime's fma or its x87 precision.
double ExactFma(double a, double b, double c);

// The seeds of `chains` chains as the fma and fma-add loads keep them: every x,
// every y, then with `sums` a sum to each pair of chains.
void SeedChains(double* values, std::size_t chains, bool sums);
// And as the cache load keeps them (PairedX): 2 * chains values.
void SeedPairedChains(double* values, std::size_t chains);

// One step of the map, as every kernel computes it: answers t.
double MapStep(double& x, double& y, const MapConstants& k);

// The portable references: one copy's work, plain C++ (ExactFma for every
// floating-point step, a table AES round and a table CRC32C).
void FmaReference(double* values, std::size_t steps);
void FmaAddReference(double* values, std::size_t steps);
void CacheSweepReference(const double* source, double* target, std::size_t length);
void IntStepReference(IntState& state, std::size_t step);
void AesRoundReference(std::uint8_t* state, const std::uint8_t* key);
std::uint32_t Crc32cReference(std::uint32_t crc, std::uint64_t word);

}  // namespace vload
