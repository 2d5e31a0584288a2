// The portable references every variant must match bit for bit, the integer
// seeds, and the choice of a variant's kernels.
#include <array>
#include <cstddef>
#include <cstring>

#include "tools/stress/isa.h"
#include "tools/stress/loads/kernels.h"
#include "tools/stress/loads/lane_plan.h"

namespace vload {
namespace {

double Sum(double a, double b) {
    return ExactFma(a, 1.0, b);
}

constexpr std::uint8_t Times2(std::uint8_t v) {
    return static_cast<std::uint8_t>((v << 1) ^ ((v & 0x80) ? 0x1b : 0));
}

constexpr std::uint8_t Multiply(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (b & 1) product ^= a;
        a = Times2(a);
        b >>= 1;
    }
    return product;
}

// The AES S-box from its definition: the inverse in GF(2^8), then the affine map.
constexpr std::array<std::uint8_t, 256> MakeSbox() {
    std::array<std::uint8_t, 256> box{};
    for (int x = 0; x < 256; ++x) {
        std::uint8_t inverse = 0;
        for (int y = 1; y < 256 && x != 0; ++y)
            if (Multiply(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y)) == 1)
                inverse = static_cast<std::uint8_t>(y);
        std::uint8_t s = inverse;
        for (int r = 1; r <= 4; ++r)
            s ^= static_cast<std::uint8_t>((inverse << r) | (inverse >> (8 - r)));
        box[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(s ^ 0x63);
    }
    return box;
}

constexpr std::array<std::uint32_t, 256> MakeCrc32cTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((crc & 1) ? 0x82f63b78u : 0);
        table[i] = crc;
    }
    return table;
}

const std::array<std::uint8_t, 256> kSbox = MakeSbox();
constexpr std::array<std::uint32_t, 256> kCrc32c = MakeCrc32cTable();

// The reference knows one map only: a copy given other constants is refused
// by its known answer, as it should be.
void FmaBase(double* first, double* second, const MapConstants&, const MapConstants&,
             std::size_t steps, std::size_t) {
    FmaReference(first, steps);
    FmaReference(second, steps);
}
void FmaAddBase(double* first, double* second, const MapConstants&, const MapConstants&,
                std::size_t steps, std::size_t) {
    FmaAddReference(first, steps);
    FmaAddReference(second, steps);
}
void SweepBase(const double* s1, const double* s2, double* t1, double* t2, std::size_t length,
               const MapConstants&, const MapConstants&) {
    CacheSweepReference(s1, t1, length);
    CacheSweepReference(s2, t2, length);
}
void IntBase(IntState& a, IntState& b, std::size_t firstStep, std::size_t count) {
    for (std::size_t step = firstStep; step < firstStep + count; ++step) {
        IntStepReference(a, step);
        IntStepReference(b, step);
    }
}
constexpr TwinKernels kBase{FmaBase, FmaAddBase, SweepBase, IntBase};

}  // namespace

// Round keys: the first 64 bytes of the fractional digits of pi, in hex.
const std::uint8_t kAesRoundKeys[kCrcGroups][16] = {
    {0x24, 0x3f, 0x6a, 0x88, 0x85, 0xa3, 0x08, 0xd3, 0x13, 0x19, 0x8a, 0x2e, 0x03, 0x70, 0x73,
     0x44},
    {0xa4, 0x09, 0x38, 0x22, 0x29, 0x9f, 0x31, 0xd0, 0x08, 0x2e, 0xfa, 0x98, 0xec, 0x4e, 0x6c,
     0x89},
    {0x45, 0x28, 0x21, 0xe6, 0x38, 0xd0, 0x13, 0x77, 0xbe, 0x54, 0x66, 0xcf, 0x34, 0xe9, 0x0c,
     0x6c},
    {0xc0, 0xac, 0x29, 0xb7, 0xc9, 0x7c, 0x50, 0xdd, 0x3f, 0x84, 0xd5, 0xb5, 0xb5, 0x47, 0x09,
     0x17}};

void SeedChains(double* values, std::size_t chains, bool sums) {
    for (std::size_t i = 0; i < chains; ++i) {
        values[i] = ChainSeed(i);
        values[chains + i] = PreviousSeed(i);
        if (sums && i < chains / 2) values[2 * chains + i] = SumSeed(i);
    }
}

void SeedPairedChains(double* values, std::size_t chains) {
    for (std::size_t c = 0; c < chains; ++c) {
        values[PairedX(c)] = ChainSeed(c);
        values[PairedX(c) + 8] = PreviousSeed(c);
    }
}

double MapStep(double& x, double& y, const MapConstants& k) {
    const double t = ExactFma(x, k.a, k.b);
    const double next = ExactFma(x, t, -y);
    y = x;
    x = next;
    return t;
}

void FmaReference(double* values, std::size_t steps) {
    for (std::size_t i = 0; i < kFmaChains; ++i)
        for (std::size_t step = 0; step < steps; ++step)
            MapStep(values[i], values[kFmaChains + i], kMap);
}

void FmaAddReference(double* values, std::size_t steps) {
    for (std::size_t i = 0; i < kMixSums; ++i) {
        double& sum = values[2 * kMixChains + i];
        for (std::size_t step = 0; step < steps; step += 2) {
            for (std::size_t c : {i, i + kMixSums}) {
                sum = Sum(sum, MapStep(values[c], values[kMixChains + c], kMap));
                sum = Sum(sum, -values[c]);
            }
            for (std::size_t c : {i, i + kMixSums}) {
                sum = Sum(sum, -MapStep(values[c], values[kMixChains + c], kMap));
                sum = Sum(sum, values[c]);
            }
        }
    }
}

void CacheSweepReference(const double* source, double* target, std::size_t length) {
    for (std::size_t c = 0; c < length / 2; ++c) {
        double x = source[PairedX(c)], y = source[PairedX(c) + 8];
        for (std::size_t step = 0; step < kCacheSteps; ++step) MapStep(x, y, kMap);
        target[PairedX(c)] = x;
        target[PairedX(c) + 8] = y;
    }
}

// AESENC: ShiftRows, SubBytes, MixColumns, then the round key. The state is
// column after column, as the instruction holds it.
void AesRoundReference(std::uint8_t* state, const std::uint8_t* key) {
    std::uint8_t shifted[16];
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            shifted[row + 4 * column] = kSbox[state[row + 4 * ((column + row) % 4)]];
    for (int column = 0; column < 4; ++column) {
        const std::uint8_t* a = shifted + static_cast<std::ptrdiff_t>(4 * column);
        for (int row = 0; row < 4; ++row) {
            const std::uint8_t mixed =
                static_cast<std::uint8_t>(Times2(a[row]) ^ Multiply(3, a[(row + 1) % 4]) ^
                                          a[(row + 2) % 4] ^ a[(row + 3) % 4]);
            state[row + 4 * column] = static_cast<std::uint8_t>(mixed ^ key[row + 4 * column]);
        }
    }
}

// The CRC32 instruction's step over eight bytes, low byte first, no inversion.
std::uint32_t Crc32cReference(std::uint32_t crc, std::uint64_t word) {
    for (int byte = 0; byte < 8; ++byte) {
        crc = kCrc32c[(crc ^ static_cast<std::uint32_t>(word >> (8 * byte))) & 0xff] ^ (crc >> 8);
    }
    return crc;
}

void IntStepReference(IntState& state, std::size_t step) {
    for (std::uint64_t& x : state.mwc) x = (x & 0xffffffffu) * state.multiplier + (x >> 32);
    for (auto& aes : state.aes) AesRoundReference(aes, state.keys[step % kCrcGroups]);
    const std::size_t group = (step % kCrcGroups) * (kIntLanes / kCrcGroups);
    for (std::size_t j = group; j < group + kIntLanes / kCrcGroups; ++j)
        state.crc[j] = Crc32cReference(state.crc[j], state.mwc[j]);
}

void SeedIntState(IntState& state) {
    // A small multiplicative hash of the index: distinct, non-zero, and the
    // same on every build.
    for (std::size_t i = 0; i < kIntLanes; ++i) {
        const std::uint64_t n = i + 1;
        state.mwc[i] = n * 0x9e3779b97f4a7c15u;
        state.crc[i] = static_cast<std::uint32_t>(n * 0x85ebca6bu);
    }
    for (std::size_t s = 0; s < kAesStates; ++s)
        for (std::size_t b = 0; b < 16; ++b)
            state.aes[s][b] = static_cast<std::uint8_t>(s * 16 + b);
    std::memcpy(state.keys, kAesRoundKeys, sizeof state.keys);
    state.multiplier = kMwcMultiplier;
}

void StoreIntResults(const IntState& state, double* values) {
    double* low = values;
    double* high = values + kIntLanes;
    double* aes = values + 2 * kIntLanes;
    double* crc = values + 3 * kIntLanes;
    for (std::size_t i = 0; i < kIntLanes; ++i) {
        low[i] = static_cast<double>(static_cast<std::uint32_t>(state.mwc[i]));
        high[i] = static_cast<double>(static_cast<std::uint32_t>(state.mwc[i] >> 32));
        crc[i] = static_cast<double>(state.crc[i]);
    }
    for (std::size_t s = 0; s < kAesStates; ++s)
        for (std::size_t w = 0; w < 4; ++w) {
            std::uint32_t word = 0;
            std::memcpy(&word, state.aes[s] + 4 * w, sizeof word);
            aes[4 * s + w] = static_cast<double>(word);
        }
}

const TwinKernels* KernelsFor(Isa isa) {
    if (!(MachineIsas() & IsaBit(isa))) return nullptr;
    const bool hardware = __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.2");
    switch (isa) {
        case Isa::Base:
            return &kBase;
        case Isa::Sse2:
            return Sse2Kernels(hardware);
        case Isa::Avx2:
            return Avx2Kernels(hardware);
        case Isa::Avx512:
            return Avx512Kernels(hardware);
    }
    return nullptr;
}

double BareFmaChains(Isa isa, std::size_t block, std::size_t steps) {
    volatile double sink = 0;
    std::size_t lanes = 0;
    if (isa == Isa::Avx2) {
        sink = Avx2BareChains(block, steps);
        lanes = 4;
    } else if (isa == Isa::Avx512) {
        sink = Avx512BareChains(block, steps);
        lanes = 8;
    }
    static_cast<void>(sink);
    return 4.0 * static_cast<double>(block * lanes * (steps + steps % 2));  // two FMAs a step
}

}  // namespace vload
