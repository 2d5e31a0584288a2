// The work of each vector load, defined lane by lane so that every instruction
// set computes the same bits: sizes, seeds and the map every chain iterates.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vload {

// Every floating-point chain iterates x -> x*x + c with one fused multiply-add.
// For c = -1.9 the interval [c, -c] maps into [c, 1.71] even with rounding
// (x*x >= 0 and rounding is monotone), so nothing overflows; x*x + c is exact
// before rounding, so a non-zero result is at least 2^-104 and never denormal;
// and the map is chaotic there, so values keep moving and a one-bit fault
// anywhere grows into a different result.
constexpr double kQuadraticC = -1.9;

// Seeds are exact sums (-1.75 plus a multiple of 1/1024, 1024 of them), so x87
// and SSE builds start from the same bits. All are negative: x and -x would
// meet after one step.
constexpr double ChainSeed(std::size_t i) {
    return -1.75 + static_cast<double>(i % 1024) / 1024.0;
}

// fma: kFmaChains independent chains per lane.
constexpr std::size_t kFmaLanes = 32;
constexpr std::size_t kFmaChains = 6;
constexpr std::size_t kFmaSteps = 16384;
constexpr std::size_t kFmaValues =
    kFmaLanes * kFmaChains;  // chain-major: chain k, lane l at k*lanes+l

// fma-add: per lane kMixChains multiply-add chains and as many addition chains;
// addition chain k adds chain k's value on even steps and subtracts it on odd
// ones, so it wanders about its seed near 3072 and stays inside [2048, 4096),
// where a one-ulp fault shifts every later sum exactly and never rounds away.
constexpr std::size_t kMixLanes = 32;
constexpr std::size_t kMixChains = 4;
constexpr std::size_t kMixSteps = 24576;
constexpr std::size_t kMixValues = 2 * kMixLanes * kMixChains;  // multiply-add chains, then sums
constexpr double SumSeed(std::size_t i) {
    return 3072.0 + static_cast<double>(i) / 256.0;
}

// cache: every element is a chain stepped kCacheSteps times per visit, loaded
// and stored each visit. Chunk 0 (8 KiB a copy) is the first-level region,
// visited every round from its seeds on; chunks 1.. (248 KiB a copy) are the
// second-level region, one chunk a round, seven times over a cycle. A chunk's
// first visit starts from the first-level region as it then is, so every
// element of the buffer follows its own chain.
constexpr std::size_t kCacheArrays = 4;
constexpr std::size_t kCacheArrayLength = 8192;
constexpr std::size_t kCacheElements = kCacheArrays * kCacheArrayLength;
constexpr std::size_t kCacheChunk = 1024;
constexpr std::size_t kCacheChunks = kCacheElements / kCacheChunk;
constexpr std::size_t kCacheSecondLevelChunks = kCacheChunks - 1;
constexpr std::size_t kCacheRounds = 7 * kCacheSecondLevelChunks;
constexpr std::size_t kCacheSteps = 4;
// Element visits in one copy's cycle, each kCacheSteps multiply-adds.
constexpr std::size_t kCacheVisits = kCacheRounds * kCacheChunk * 2;

// int: multiply-with-carry generators (x = lo32(x) * A + hi32(x)), AES rounds
// and CRC32C chains. Step s advances every generator and every AES state, and
// the CRC32C chains of group s % 4 each take in their own generator's word.
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
};
extern const std::uint8_t kAesRoundKeys[kCrcGroups][16];  // step s uses key s % 4

void SeedIntState(IntState& state);
// Each 32-bit word as an exact double: low words, high words, AES, CRC32C.
void StoreIntResults(const IntState& state, double* values);

// a*b + c rounded once to nearest even, in integer arithmetic: the same bits
// on every build, whatever its runtime's fma or its x87 precision.
double ExactFma(double a, double b, double c);

// The portable references: one copy's work, plain C++ (ExactFma for every
// floating-point step, a table AES round and a table CRC32C).
void FmaReference(double* values);
void FmaAddReference(double* values);
void CacheSweepReference(const double* source, double* target, std::size_t length);
void IntStepReference(IntState& state, std::size_t step);
void AesRoundReference(std::uint8_t* state, const std::uint8_t* key);
std::uint32_t Crc32cReference(std::uint32_t crc, std::uint64_t word);

}  // namespace vload
