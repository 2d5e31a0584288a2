// The AVX2 kernels: four doubles a register, fused multiply-add through FMA3.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "tools/stress/loads/kernels.h"

namespace vload {
namespace {

#define LOADS_TARGET __attribute__((target("avx2,fma")))
#define LOADS_AES_TARGET __attribute__((target("avx2,fma,aes,sse4.2")))

struct V {
    using D = __m256d;
    using I = __m256i;
    static constexpr std::size_t kLanes = 4;
    LOADS_TARGET static D Load(const double* p) { return _mm256_loadu_pd(p); }
    LOADS_TARGET static void Store(double* p, D v) { _mm256_storeu_pd(p, v); }
    LOADS_TARGET static D Set1(double v) { return _mm256_set1_pd(v); }
    LOADS_TARGET static D Fma(D a, D b, D c) { return _mm256_fmadd_pd(a, b, c); }
    LOADS_TARGET static D Fms(D a, D b, D c) { return _mm256_fmsub_pd(a, b, c); }
    LOADS_TARGET static D Add(D a, D b) { return _mm256_add_pd(a, b); }
    LOADS_TARGET static D Sub(D a, D b) { return _mm256_sub_pd(a, b); }
    LOADS_TARGET static I LoadI(const std::uint64_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const I*>(p));
    }
    LOADS_TARGET static void StoreI(std::uint64_t* p, I v) {
        _mm256_storeu_si256(reinterpret_cast<I*>(p), v);
    }
    LOADS_TARGET static I Set1I(std::uint64_t v) {
        return _mm256_set1_epi64x(static_cast<long long>(v));
    }
    // lo32(x) * A + hi32(x): the multiply reads only the low half of each lane.
    LOADS_TARGET static I MwcStep(I x, I multiplier) {
        return _mm256_add_epi64(_mm256_mul_epu32(x, multiplier), _mm256_srli_epi64(x, 32));
    }
};

#include "tools/stress/loads/kernel_body.inc"

#if defined(__x86_64__)
// Eight chains in flight (four vectors a copy) are what two FMA pipes of
// latency four need, but their x and y want all sixteen registers and each
// copy's t one more; the compiler's allocator spills instead. So this block is
// written out with the fourth vector's y kept where it lives in the buffer:
// one load and one store a step for that chain, against a spill's several.
// Registers 0-3 hold the first copy's x, 4-6 its y, 7 its t; 8-15 the second
// copy's likewise. Each copy's a (a whole vector) and b come from its own
// memory. Same operations, same order per lane as every other variant.
struct alignas(32) Avx2Map {
    explicit Avx2Map(const MapConstants& k) : a{k.a, k.a, k.a, k.a}, b(k.b) {}
    double a[4], b;
};

// Inside an assembler macro with arguments x, t and c (an Avx2Map): t = a*x + b.
#define LOADS_T_OF_X                \
    "vbroadcastsd 32(\\c), \\t\n\t" \
    "vfmadd231pd 0(\\c), \\x, \\t\n\t"

// The end both written-out kernels share: the blocks' loop, then the
// operands. Both name their step macros LOADS_STEP and LOADS_BUFFER_STEP.
// clang-format off
#define LOADS_AVX2_BLOCKS_END                                                                  \
    "dec %[blocks]\n\t"                                                                        \
    "jnz 3b\n\t"                                                                               \
    ".purgem LOADS_STEP\n\t"                                                                   \
    ".purgem LOADS_BUFFER_STEP\n\t"                                                            \
    "vzeroupper\n\t"                                                                           \
    : [p1] "+r"(first), [p2] "+r"(second), [blocks] "+r"(blocks), [n] "=&r"(n)                \
    : [pairs] "r"(steps / 2), [c1] "r"(&c1), [c2] "r"(&c2)                                     \
    : "cc", "memory", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",   \
      "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15"
// clang-format on

LOADS_TARGET void FmaFour(double* first, double* second, const MapConstants& k1,
                          const MapConstants& k2, std::size_t steps) {
    static_assert(kFmaChains * 8 == 3840, "y row offset");
    static_assert(kFmaChains % 16 == 0, "whole blocks of four vectors");
    const Avx2Map c1(k1), c2(k2);
    std::size_t blocks = kFmaChains / 16, n = 0;
    // A register chain's step: t = a*x + b, y = x*t - y (the new x). The
    // buffer chain's: the new x into t, the old x stored as y, t back to x.
    // clang-format off
    __asm__ volatile(
        ".macro LOADS_STEP x, y, t, c\n\t"
        LOADS_T_OF_X
        "vfmsub231pd \\t, \\x, \\y\n\t"
        ".endm\n\t"
        ".macro LOADS_BUFFER_STEP x, t, c, y\n\t"
        LOADS_T_OF_X
        "vfmsub213pd \\y, \\x, \\t\n\t"
        "vmovupd \\x, \\y\n\t"
        "vmovapd \\t, \\x\n\t"
        ".endm\n\t"
        "3:\n\t"
        "vmovupd 0(%[p1]), %%ymm0\n\t"
        "vmovupd 32(%[p1]), %%ymm1\n\t"
        "vmovupd 64(%[p1]), %%ymm2\n\t"
        "vmovupd 96(%[p1]), %%ymm3\n\t"
        "vmovupd 3840(%[p1]), %%ymm4\n\t"
        "vmovupd 3872(%[p1]), %%ymm5\n\t"
        "vmovupd 3904(%[p1]), %%ymm6\n\t"
        "vmovupd 0(%[p2]), %%ymm8\n\t"
        "vmovupd 32(%[p2]), %%ymm9\n\t"
        "vmovupd 64(%[p2]), %%ymm10\n\t"
        "vmovupd 96(%[p2]), %%ymm11\n\t"
        "vmovupd 3840(%[p2]), %%ymm12\n\t"
        "vmovupd 3872(%[p2]), %%ymm13\n\t"
        "vmovupd 3904(%[p2]), %%ymm14\n\t"
        "mov %[pairs], %[n]\n\t"
        "test %[n], %[n]\n\t"
        "jz 2f\n\t"
        "1:\n\t"
        "LOADS_STEP %%ymm0, %%ymm4, %%ymm7, %[c1]\n\t"
        "LOADS_STEP %%ymm8, %%ymm12, %%ymm15, %[c2]\n\t"
        "LOADS_STEP %%ymm1, %%ymm5, %%ymm7, %[c1]\n\t"
        "LOADS_STEP %%ymm9, %%ymm13, %%ymm15, %[c2]\n\t"
        "LOADS_STEP %%ymm2, %%ymm6, %%ymm7, %[c1]\n\t"
        "LOADS_STEP %%ymm10, %%ymm14, %%ymm15, %[c2]\n\t"
        "LOADS_BUFFER_STEP %%ymm3, %%ymm7, %[c1], 3936(%[p1])\n\t"
        "LOADS_BUFFER_STEP %%ymm11, %%ymm15, %[c2], 3936(%[p2])\n\t"
        "LOADS_STEP %%ymm4, %%ymm0, %%ymm7, %[c1]\n\t"
        "LOADS_STEP %%ymm12, %%ymm8, %%ymm15, %[c2]\n\t"
        "LOADS_STEP %%ymm5, %%ymm1, %%ymm7, %[c1]\n\t"
        "LOADS_STEP %%ymm13, %%ymm9, %%ymm15, %[c2]\n\t"
        "LOADS_STEP %%ymm6, %%ymm2, %%ymm7, %[c1]\n\t"
        "LOADS_STEP %%ymm14, %%ymm10, %%ymm15, %[c2]\n\t"
        "LOADS_BUFFER_STEP %%ymm3, %%ymm7, %[c1], 3936(%[p1])\n\t"
        "LOADS_BUFFER_STEP %%ymm11, %%ymm15, %[c2], 3936(%[p2])\n\t"
        "dec %[n]\n\t"
        "jnz 1b\n\t"
        "2:\n\t"
        "vmovupd %%ymm0, 0(%[p1])\n\t"
        "vmovupd %%ymm1, 32(%[p1])\n\t"
        "vmovupd %%ymm2, 64(%[p1])\n\t"
        "vmovupd %%ymm3, 96(%[p1])\n\t"
        "vmovupd %%ymm4, 3840(%[p1])\n\t"
        "vmovupd %%ymm5, 3872(%[p1])\n\t"
        "vmovupd %%ymm6, 3904(%[p1])\n\t"
        "vmovupd %%ymm8, 0(%[p2])\n\t"
        "vmovupd %%ymm9, 32(%[p2])\n\t"
        "vmovupd %%ymm10, 64(%[p2])\n\t"
        "vmovupd %%ymm11, 96(%[p2])\n\t"
        "vmovupd %%ymm12, 3840(%[p2])\n\t"
        "vmovupd %%ymm13, 3872(%[p2])\n\t"
        "vmovupd %%ymm14, 3904(%[p2])\n\t"
        "add $128, %[p1]\n\t"
        "add $128, %[p2]\n\t"
        LOADS_AVX2_BLOCKS_END);
    // clang-format on
}

// fma-add's two pairs of vectors of chains a copy, their sums and each copy's t
// want more than sixteen registers too: the first chain of the first pair keeps
// its y in a register, the other three chains theirs in the buffer (as in
// FmaFour). Registers 0-7 hold the first copy's x of the four chains (first
// pair's first, its second, the second pair's likewise), the one y, the two
// sums and t; 8-15 the second copy's. Each t goes into its sum before the
// step's second multiply-add, so the sum sees t, then the new x, chain by
// chain, as in every other variant.
LOADS_TARGET void FmaAddFour(double* first, double* second, const MapConstants& k1,
                             const MapConstants& k2, std::size_t steps) {
    static_assert(kMixSums * 8 == 1920 && kMixChains * 8 == 3840 && kMixChains * 16 == 7680,
                  "row offsets");
    static_assert(kMixSums % 8 == 0, "whole blocks of two pairs");
    const Avx2Map c1(k1), c2(k2);
    std::size_t blocks = kMixSums / 8, n = 0;
    // clang-format off
    __asm__ volatile(
        ".macro LOADS_STEP x, y, s, t, c, into, out\n\t"
        LOADS_T_OF_X
        "vfmsub231pd \\t, \\x, \\y\n\t"
        "\\into \\t, \\s, \\s\n\t"
        "\\out \\y, \\s, \\s\n\t"
        ".endm\n\t"
        ".macro LOADS_BUFFER_STEP x, y, s, t, c, into, out\n\t"
        LOADS_T_OF_X
        "\\into \\t, \\s, \\s\n\t"
        "vfmsub213pd \\y, \\x, \\t\n\t"
        "\\out \\t, \\s, \\s\n\t"
        "vmovupd \\x, \\y\n\t"
        "vmovapd \\t, \\x\n\t"
        ".endm\n\t"
        "3:\n\t"
        "vmovupd 0(%[p1]), %%ymm0\n\t"
        "vmovupd 1920(%[p1]), %%ymm1\n\t"
        "vmovupd 32(%[p1]), %%ymm2\n\t"
        "vmovupd 1952(%[p1]), %%ymm3\n\t"
        "vmovupd 3840(%[p1]), %%ymm4\n\t"
        "vmovupd 7680(%[p1]), %%ymm5\n\t"
        "vmovupd 7712(%[p1]), %%ymm6\n\t"
        "vmovupd 0(%[p2]), %%ymm8\n\t"
        "vmovupd 1920(%[p2]), %%ymm9\n\t"
        "vmovupd 32(%[p2]), %%ymm10\n\t"
        "vmovupd 1952(%[p2]), %%ymm11\n\t"
        "vmovupd 3840(%[p2]), %%ymm12\n\t"
        "vmovupd 7680(%[p2]), %%ymm13\n\t"
        "vmovupd 7712(%[p2]), %%ymm14\n\t"
        "mov %[pairs], %[n]\n\t"
        "test %[n], %[n]\n\t"
        "jz 2f\n\t"
        "1:\n\t"
        "LOADS_STEP %%ymm0, %%ymm4, %%ymm5, %%ymm7, %[c1], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%ymm8, %%ymm12, %%ymm13, %%ymm15, %[c2], vaddpd, vsubpd\n\t"
        "LOADS_BUFFER_STEP %%ymm1, 5760(%[p1]), %%ymm5, %%ymm7, %[c1], vaddpd, vsubpd\n\t"
        "LOADS_BUFFER_STEP %%ymm9, 5760(%[p2]), %%ymm13, %%ymm15, %[c2], vaddpd, vsubpd\n\t"
        "LOADS_BUFFER_STEP %%ymm2, 3872(%[p1]), %%ymm6, %%ymm7, %[c1], vaddpd, vsubpd\n\t"
        "LOADS_BUFFER_STEP %%ymm10, 3872(%[p2]), %%ymm14, %%ymm15, %[c2], vaddpd, vsubpd\n\t"
        "LOADS_BUFFER_STEP %%ymm3, 5792(%[p1]), %%ymm6, %%ymm7, %[c1], vaddpd, vsubpd\n\t"
        "LOADS_BUFFER_STEP %%ymm11, 5792(%[p2]), %%ymm14, %%ymm15, %[c2], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%ymm4, %%ymm0, %%ymm5, %%ymm7, %[c1], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%ymm12, %%ymm8, %%ymm13, %%ymm15, %[c2], vsubpd, vaddpd\n\t"
        "LOADS_BUFFER_STEP %%ymm1, 5760(%[p1]), %%ymm5, %%ymm7, %[c1], vsubpd, vaddpd\n\t"
        "LOADS_BUFFER_STEP %%ymm9, 5760(%[p2]), %%ymm13, %%ymm15, %[c2], vsubpd, vaddpd\n\t"
        "LOADS_BUFFER_STEP %%ymm2, 3872(%[p1]), %%ymm6, %%ymm7, %[c1], vsubpd, vaddpd\n\t"
        "LOADS_BUFFER_STEP %%ymm10, 3872(%[p2]), %%ymm14, %%ymm15, %[c2], vsubpd, vaddpd\n\t"
        "LOADS_BUFFER_STEP %%ymm3, 5792(%[p1]), %%ymm6, %%ymm7, %[c1], vsubpd, vaddpd\n\t"
        "LOADS_BUFFER_STEP %%ymm11, 5792(%[p2]), %%ymm14, %%ymm15, %[c2], vsubpd, vaddpd\n\t"
        "dec %[n]\n\t"
        "jnz 1b\n\t"
        "2:\n\t"
        "vmovupd %%ymm0, 0(%[p1])\n\t"
        "vmovupd %%ymm1, 1920(%[p1])\n\t"
        "vmovupd %%ymm2, 32(%[p1])\n\t"
        "vmovupd %%ymm3, 1952(%[p1])\n\t"
        "vmovupd %%ymm4, 3840(%[p1])\n\t"
        "vmovupd %%ymm5, 7680(%[p1])\n\t"
        "vmovupd %%ymm6, 7712(%[p1])\n\t"
        "vmovupd %%ymm8, 0(%[p2])\n\t"
        "vmovupd %%ymm9, 1920(%[p2])\n\t"
        "vmovupd %%ymm10, 32(%[p2])\n\t"
        "vmovupd %%ymm11, 1952(%[p2])\n\t"
        "vmovupd %%ymm12, 3840(%[p2])\n\t"
        "vmovupd %%ymm13, 7680(%[p2])\n\t"
        "vmovupd %%ymm14, 7712(%[p2])\n\t"
        "add $64, %[p1]\n\t"
        "add $64, %[p2]\n\t"
        LOADS_AVX2_BLOCKS_END);
    // clang-format on
}

#undef LOADS_T_OF_X
#undef LOADS_AVX2_BLOCKS_END
#endif

LOADS_TARGET void Fma(double* first, double* second, const MapConstants& k1, const MapConstants& k2,
                      std::size_t steps, std::size_t block) {
#if defined(__x86_64__)
    if (block == 4) return FmaFour(first, second, k1, k2, steps);
#endif
    FmaTwin<V>(first, second, k1, k2, steps, block);
}
LOADS_TARGET void FmaAdd(double* first, double* second, const MapConstants& k1,
                         const MapConstants& k2, std::size_t steps, std::size_t block) {
#if defined(__x86_64__)
    if (block / 2 == 2) return FmaAddFour(first, second, k1, k2, steps);
#endif
    FmaAddTwin<V>(first, second, k1, k2, steps, block);
}
LOADS_TARGET void Sweep(const double* s1, const double* s2, double* t1, double* t2,
                        std::size_t length, const MapConstants& k1, const MapConstants& k2) {
    CacheSweepTwin<V>(s1, s2, t1, t2, length, k1, k2);
}

constexpr TwinKernels kHardware{Fma, FmaAdd, Sweep, IntTwin<V, true>};
constexpr TwinKernels kPortable{Fma, FmaAdd, Sweep, IntTwin<V, false>};

}  // namespace

const TwinKernels* Avx2Kernels(bool hardware) {
    return hardware ? &kHardware : &kPortable;
}

LOADS_TARGET double Avx2BareChains(std::size_t block, std::size_t steps) {
    return BareSweep<V>(block, steps);
}

}  // namespace vload
