// The AVX-512F kernels: eight doubles a register.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "tools/stress/loads/kernels.h"

namespace vload {
namespace {

#define LOADS_TARGET __attribute__((target("avx512f,avx2,fma")))
#define LOADS_AES_TARGET __attribute__((target("avx512f,avx2,fma,aes,sse4.2")))

struct V {
    using D = __m512d;
    using I = __m512i;
    static constexpr std::size_t kLanes = 8;
    LOADS_TARGET static D Load(const double* p) { return _mm512_loadu_pd(p); }
    LOADS_TARGET static void Store(double* p, D v) { _mm512_storeu_pd(p, v); }
    LOADS_TARGET static D Set1(double v) { return _mm512_set1_pd(v); }
    LOADS_TARGET static D Fma(D a, D b, D c) { return _mm512_fmadd_pd(a, b, c); }
    LOADS_TARGET static D Fms(D a, D b, D c) { return _mm512_fmsub_pd(a, b, c); }
    LOADS_TARGET static D Add(D a, D b) { return _mm512_add_pd(a, b); }
    LOADS_TARGET static D Sub(D a, D b) { return _mm512_sub_pd(a, b); }
    LOADS_TARGET static I LoadI(const std::uint64_t* p) {
        return _mm512_loadu_si512(reinterpret_cast<const I*>(p));
    }
    LOADS_TARGET static void StoreI(std::uint64_t* p, I v) {
        _mm512_storeu_si512(reinterpret_cast<I*>(p), v);
    }
    LOADS_TARGET static I Set1I(std::uint64_t v) {
        return _mm512_set1_epi64(static_cast<long long>(v));
    }
    // lo32(x) * A + hi32(x): the multiply reads only the low half of each lane.
    // The zero-masked forms with every lane enabled: gcc 12 reads the plain
    // forms' undefined pass-through as an uninitialised value.
    LOADS_TARGET static I MwcStep(I x, I multiplier) {
        return _mm512_add_epi64(_mm512_maskz_mul_epu32(0xff, x, multiplier),
                                _mm512_maskz_srli_epi64(0xff, x, 32));
    }
};

#include "tools/stress/loads/kernel_body.inc"

#if defined(__x86_64__)
// Three pairs of vectors of chains a copy, with their y and sums, fill 30 of
// the 32 registers; the compiler's allocator spills instead, so this block is
// written out. Registers 0-14 hold the first copy's state, 15-29 the second's:
// x of the pairs' first chains, x of their second chains, their y likewise,
// then the sums. 30 and 31 hold each copy's t; each copy's a and b come from
// its own memory (a broadcast operand), which the load ports serve beside the
// four pipes. The blocks follow one another inside the one statement, so one
// block's last steps overlap the next one's first. Same operations, same order
// per lane as every other variant.
LOADS_TARGET void FmaAddSix(double* first, double* second, const MapConstants& k1,
                            const MapConstants& k2, std::size_t steps) {
    constexpr std::size_t kB = kMixSums, kY = kMixChains, kS = 2 * kMixChains, kLanes = V::kLanes;
    // The byte offsets the statement uses for the rows of a block (x of the
    // first chains, x of the second, y likewise, sums) and for the next block.
    static_assert(kB * 8 == 1920 && kY * 8 == 3840 && (kY + kB) * 8 == 5760 && kS * 8 == 7680,
                  "row offsets");
    static_assert(3 * kLanes * 8 == 192 && kMixSums % (3 * kLanes) == 0, "whole blocks of three");
    std::size_t blocks = kMixSums / (3 * kLanes), n = 0;
    // One step of one chain: t = a*x + b, y = x*t - y (the new x), then t
    // and the new x into the sum, by `into` and `out`.
    __asm__ volatile(
        ".macro LOADS_STEP x, y, s, t, k, into, out\n\t"
        "vbroadcastsd 8(\\k), \\t\n\t"
        "vfmadd231pd 0(\\k)%{1to8%}, \\x, \\t\n\t"
        "vfmsub231pd \\t, \\x, \\y\n\t"
        "\\into \\t, \\s, \\s\n\t"
        "\\out \\y, \\s, \\s\n\t"
        ".endm\n\t"
        "3:\n\t"
        "vmovupd 0(%[p1]), %%zmm0\n\t"
        "vmovupd 64(%[p1]), %%zmm1\n\t"
        "vmovupd 128(%[p1]), %%zmm2\n\t"
        "vmovupd 1920(%[p1]), %%zmm3\n\t"
        "vmovupd 1984(%[p1]), %%zmm4\n\t"
        "vmovupd 2048(%[p1]), %%zmm5\n\t"
        "vmovupd 3840(%[p1]), %%zmm6\n\t"
        "vmovupd 3904(%[p1]), %%zmm7\n\t"
        "vmovupd 3968(%[p1]), %%zmm8\n\t"
        "vmovupd 5760(%[p1]), %%zmm9\n\t"
        "vmovupd 5824(%[p1]), %%zmm10\n\t"
        "vmovupd 5888(%[p1]), %%zmm11\n\t"
        "vmovupd 7680(%[p1]), %%zmm12\n\t"
        "vmovupd 7744(%[p1]), %%zmm13\n\t"
        "vmovupd 7808(%[p1]), %%zmm14\n\t"
        "vmovupd 0(%[p2]), %%zmm15\n\t"
        "vmovupd 64(%[p2]), %%zmm16\n\t"
        "vmovupd 128(%[p2]), %%zmm17\n\t"
        "vmovupd 1920(%[p2]), %%zmm18\n\t"
        "vmovupd 1984(%[p2]), %%zmm19\n\t"
        "vmovupd 2048(%[p2]), %%zmm20\n\t"
        "vmovupd 3840(%[p2]), %%zmm21\n\t"
        "vmovupd 3904(%[p2]), %%zmm22\n\t"
        "vmovupd 3968(%[p2]), %%zmm23\n\t"
        "vmovupd 5760(%[p2]), %%zmm24\n\t"
        "vmovupd 5824(%[p2]), %%zmm25\n\t"
        "vmovupd 5888(%[p2]), %%zmm26\n\t"
        "vmovupd 7680(%[p2]), %%zmm27\n\t"
        "vmovupd 7744(%[p2]), %%zmm28\n\t"
        "vmovupd 7808(%[p2]), %%zmm29\n\t"
        "mov %[pairs], %[n]\n\t"
        "test %[n], %[n]\n\t"
        "jz 2f\n\t"
        "1:\n\t"
        "LOADS_STEP %%zmm0, %%zmm6, %%zmm12, %%zmm30, %[k1], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm15, %%zmm21, %%zmm27, %%zmm31, %[k2], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm1, %%zmm7, %%zmm13, %%zmm30, %[k1], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm16, %%zmm22, %%zmm28, %%zmm31, %[k2], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm2, %%zmm8, %%zmm14, %%zmm30, %[k1], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm17, %%zmm23, %%zmm29, %%zmm31, %[k2], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm3, %%zmm9, %%zmm12, %%zmm30, %[k1], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm18, %%zmm24, %%zmm27, %%zmm31, %[k2], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm4, %%zmm10, %%zmm13, %%zmm30, %[k1], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm19, %%zmm25, %%zmm28, %%zmm31, %[k2], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm5, %%zmm11, %%zmm14, %%zmm30, %[k1], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm20, %%zmm26, %%zmm29, %%zmm31, %[k2], vaddpd, vsubpd\n\t"
        "LOADS_STEP %%zmm6, %%zmm0, %%zmm12, %%zmm30, %[k1], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%zmm21, %%zmm15, %%zmm27, %%zmm31, %[k2], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%zmm7, %%zmm1, %%zmm13, %%zmm30, %[k1], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%zmm22, %%zmm16, %%zmm28, %%zmm31, %[k2], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%zmm8, %%zmm2, %%zmm14, %%zmm30, %[k1], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%zmm23, %%zmm17, %%zmm29, %%zmm31, %[k2], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%zmm9, %%zmm3, %%zmm12, %%zmm30, %[k1], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%zmm24, %%zmm18, %%zmm27, %%zmm31, %[k2], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%zmm10, %%zmm4, %%zmm13, %%zmm30, %[k1], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%zmm25, %%zmm19, %%zmm28, %%zmm31, %[k2], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%zmm11, %%zmm5, %%zmm14, %%zmm30, %[k1], vsubpd, vaddpd\n\t"
        "LOADS_STEP %%zmm26, %%zmm20, %%zmm29, %%zmm31, %[k2], vsubpd, vaddpd\n\t"
        "dec %[n]\n\t"
        "jnz 1b\n\t"
        "2:\n\t"
        "vmovupd %%zmm0, 0(%[p1])\n\t"
        "vmovupd %%zmm1, 64(%[p1])\n\t"
        "vmovupd %%zmm2, 128(%[p1])\n\t"
        "vmovupd %%zmm3, 1920(%[p1])\n\t"
        "vmovupd %%zmm4, 1984(%[p1])\n\t"
        "vmovupd %%zmm5, 2048(%[p1])\n\t"
        "vmovupd %%zmm6, 3840(%[p1])\n\t"
        "vmovupd %%zmm7, 3904(%[p1])\n\t"
        "vmovupd %%zmm8, 3968(%[p1])\n\t"
        "vmovupd %%zmm9, 5760(%[p1])\n\t"
        "vmovupd %%zmm10, 5824(%[p1])\n\t"
        "vmovupd %%zmm11, 5888(%[p1])\n\t"
        "vmovupd %%zmm12, 7680(%[p1])\n\t"
        "vmovupd %%zmm13, 7744(%[p1])\n\t"
        "vmovupd %%zmm14, 7808(%[p1])\n\t"
        "vmovupd %%zmm15, 0(%[p2])\n\t"
        "vmovupd %%zmm16, 64(%[p2])\n\t"
        "vmovupd %%zmm17, 128(%[p2])\n\t"
        "vmovupd %%zmm18, 1920(%[p2])\n\t"
        "vmovupd %%zmm19, 1984(%[p2])\n\t"
        "vmovupd %%zmm20, 2048(%[p2])\n\t"
        "vmovupd %%zmm21, 3840(%[p2])\n\t"
        "vmovupd %%zmm22, 3904(%[p2])\n\t"
        "vmovupd %%zmm23, 3968(%[p2])\n\t"
        "vmovupd %%zmm24, 5760(%[p2])\n\t"
        "vmovupd %%zmm25, 5824(%[p2])\n\t"
        "vmovupd %%zmm26, 5888(%[p2])\n\t"
        "vmovupd %%zmm27, 7680(%[p2])\n\t"
        "vmovupd %%zmm28, 7744(%[p2])\n\t"
        "vmovupd %%zmm29, 7808(%[p2])\n\t"
        "add $192, %[p1]\n\t"
        "add $192, %[p2]\n\t"
        "dec %[blocks]\n\t"
        "jnz 3b\n\t"
        ".purgem LOADS_STEP\n\t"
        : [p1] "+r"(first), [p2] "+r"(second), [blocks] "+r"(blocks), [n] "=&r"(n)
        : [pairs] "r"(steps / 2), [k1] "r"(&k1), [k2] "r"(&k2)
        : "cc", "memory", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",
          "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "xmm16", "xmm17", "xmm18",
          "xmm19", "xmm20", "xmm21", "xmm22", "xmm23", "xmm24", "xmm25", "xmm26", "xmm27", "xmm28",
          "xmm29", "xmm30", "xmm31");
}
#endif

LOADS_TARGET void Fma(double* first, double* second, const MapConstants& k1, const MapConstants& k2,
                      std::size_t steps, std::size_t block) {
    FmaTwin<V>(first, second, k1, k2, steps, block);
}
LOADS_TARGET void FmaAdd(double* first, double* second, const MapConstants& k1,
                         const MapConstants& k2, std::size_t steps, std::size_t block) {
#if defined(__x86_64__)
    if (block / 2 == 3) return FmaAddSix(first, second, k1, k2, steps);
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

const TwinKernels* Avx512Kernels(bool hardware) {
    return hardware ? &kHardware : &kPortable;
}

LOADS_TARGET double Avx512BareChains(std::size_t block, std::size_t steps) {
    return BareSweep<V>(block, steps);
}

}  // namespace vload
