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
// Five vectors of chains a copy, with their y and sums, fill 30 of the 32
// registers; the compiler's allocator spills sums instead, so this block is
// written out. Registers 0-14 hold the first copy's x, y and sums, 15-29 the
// second's, 30-31 the t of two chains at a time; each copy's a and b come from
// its own memory (a broadcast operand). Same operations, same order per lane as
// every other variant.
LOADS_TARGET void FmaAddFive(double* first, double* second, const MapConstants& k1,
                             const MapConstants& k2, std::size_t steps) {
    constexpr std::size_t kY = kMixChains, kS = 2 * kMixChains, kLanes = V::kLanes;
    static_assert(kMixChains % (5 * kLanes) == 0, "whole blocks only");
    for (std::size_t i = 0; i < kMixChains; i += 5 * kLanes) {
        alignas(64) double state[30 * kLanes];
        double* const rows[6] = {first + i,  first + kY + i,  first + kS + i,
                                 second + i, second + kY + i, second + kS + i};
        for (std::size_t r = 0; r < 30; ++r)
            V::Store(state + r * kLanes, V::Load(rows[r / 5] + (r % 5) * kLanes));
        std::size_t pairs = steps / 2;
        __asm__ volatile(
            "vmovupd 0(%[state]), %%zmm0\n\t"
            "vmovupd 64(%[state]), %%zmm1\n\t"
            "vmovupd 128(%[state]), %%zmm2\n\t"
            "vmovupd 192(%[state]), %%zmm3\n\t"
            "vmovupd 256(%[state]), %%zmm4\n\t"
            "vmovupd 320(%[state]), %%zmm5\n\t"
            "vmovupd 384(%[state]), %%zmm6\n\t"
            "vmovupd 448(%[state]), %%zmm7\n\t"
            "vmovupd 512(%[state]), %%zmm8\n\t"
            "vmovupd 576(%[state]), %%zmm9\n\t"
            "vmovupd 640(%[state]), %%zmm10\n\t"
            "vmovupd 704(%[state]), %%zmm11\n\t"
            "vmovupd 768(%[state]), %%zmm12\n\t"
            "vmovupd 832(%[state]), %%zmm13\n\t"
            "vmovupd 896(%[state]), %%zmm14\n\t"
            "vmovupd 960(%[state]), %%zmm15\n\t"
            "vmovupd 1024(%[state]), %%zmm16\n\t"
            "vmovupd 1088(%[state]), %%zmm17\n\t"
            "vmovupd 1152(%[state]), %%zmm18\n\t"
            "vmovupd 1216(%[state]), %%zmm19\n\t"
            "vmovupd 1280(%[state]), %%zmm20\n\t"
            "vmovupd 1344(%[state]), %%zmm21\n\t"
            "vmovupd 1408(%[state]), %%zmm22\n\t"
            "vmovupd 1472(%[state]), %%zmm23\n\t"
            "vmovupd 1536(%[state]), %%zmm24\n\t"
            "vmovupd 1600(%[state]), %%zmm25\n\t"
            "vmovupd 1664(%[state]), %%zmm26\n\t"
            "vmovupd 1728(%[state]), %%zmm27\n\t"
            "vmovupd 1792(%[state]), %%zmm28\n\t"
            "vmovupd 1856(%[state]), %%zmm29\n\t"
            "test %[n], %[n]\n\t"
            "jz 2f\n\t"
            "1:\n\t"
            "vbroadcastsd 8(%[k1]), %%zmm30\n\t"
            "vfmadd231pd 0(%[k1])%{1to8%}, %%zmm0, %%zmm30\n\t"
            "vbroadcastsd 8(%[k2]), %%zmm31\n\t"
            "vfmadd231pd 0(%[k2])%{1to8%}, %%zmm15, %%zmm31\n\t"
            "vfmsub231pd %%zmm30, %%zmm0, %%zmm5\n\t"
            "vfmsub231pd %%zmm31, %%zmm15, %%zmm20\n\t"
            "vaddpd %%zmm30, %%zmm10, %%zmm10\n\t"
            "vaddpd %%zmm31, %%zmm25, %%zmm25\n\t"
            "vbroadcastsd 8(%[k1]), %%zmm30\n\t"
            "vfmadd231pd 0(%[k1])%{1to8%}, %%zmm1, %%zmm30\n\t"
            "vbroadcastsd 8(%[k2]), %%zmm31\n\t"
            "vfmadd231pd 0(%[k2])%{1to8%}, %%zmm16, %%zmm31\n\t"
            "vfmsub231pd %%zmm30, %%zmm1, %%zmm6\n\t"
            "vfmsub231pd %%zmm31, %%zmm16, %%zmm21\n\t"
            "vaddpd %%zmm30, %%zmm11, %%zmm11\n\t"
            "vaddpd %%zmm31, %%zmm26, %%zmm26\n\t"
            "vbroadcastsd 8(%[k1]), %%zmm30\n\t"
            "vfmadd231pd 0(%[k1])%{1to8%}, %%zmm2, %%zmm30\n\t"
            "vbroadcastsd 8(%[k2]), %%zmm31\n\t"
            "vfmadd231pd 0(%[k2])%{1to8%}, %%zmm17, %%zmm31\n\t"
            "vfmsub231pd %%zmm30, %%zmm2, %%zmm7\n\t"
            "vfmsub231pd %%zmm31, %%zmm17, %%zmm22\n\t"
            "vaddpd %%zmm30, %%zmm12, %%zmm12\n\t"
            "vaddpd %%zmm31, %%zmm27, %%zmm27\n\t"
            "vbroadcastsd 8(%[k1]), %%zmm30\n\t"
            "vfmadd231pd 0(%[k1])%{1to8%}, %%zmm3, %%zmm30\n\t"
            "vbroadcastsd 8(%[k2]), %%zmm31\n\t"
            "vfmadd231pd 0(%[k2])%{1to8%}, %%zmm18, %%zmm31\n\t"
            "vfmsub231pd %%zmm30, %%zmm3, %%zmm8\n\t"
            "vfmsub231pd %%zmm31, %%zmm18, %%zmm23\n\t"
            "vaddpd %%zmm30, %%zmm13, %%zmm13\n\t"
            "vaddpd %%zmm31, %%zmm28, %%zmm28\n\t"
            "vbroadcastsd 8(%[k1]), %%zmm30\n\t"
            "vfmadd231pd 0(%[k1])%{1to8%}, %%zmm4, %%zmm30\n\t"
            "vbroadcastsd 8(%[k2]), %%zmm31\n\t"
            "vfmadd231pd 0(%[k2])%{1to8%}, %%zmm19, %%zmm31\n\t"
            "vfmsub231pd %%zmm30, %%zmm4, %%zmm9\n\t"
            "vfmsub231pd %%zmm31, %%zmm19, %%zmm24\n\t"
            "vaddpd %%zmm30, %%zmm14, %%zmm14\n\t"
            "vaddpd %%zmm31, %%zmm29, %%zmm29\n\t"
            "vsubpd %%zmm5, %%zmm10, %%zmm10\n\t"
            "vsubpd %%zmm20, %%zmm25, %%zmm25\n\t"
            "vsubpd %%zmm6, %%zmm11, %%zmm11\n\t"
            "vsubpd %%zmm21, %%zmm26, %%zmm26\n\t"
            "vsubpd %%zmm7, %%zmm12, %%zmm12\n\t"
            "vsubpd %%zmm22, %%zmm27, %%zmm27\n\t"
            "vsubpd %%zmm8, %%zmm13, %%zmm13\n\t"
            "vsubpd %%zmm23, %%zmm28, %%zmm28\n\t"
            "vsubpd %%zmm9, %%zmm14, %%zmm14\n\t"
            "vsubpd %%zmm24, %%zmm29, %%zmm29\n\t"
            "vbroadcastsd 8(%[k1]), %%zmm30\n\t"
            "vfmadd231pd 0(%[k1])%{1to8%}, %%zmm5, %%zmm30\n\t"
            "vbroadcastsd 8(%[k2]), %%zmm31\n\t"
            "vfmadd231pd 0(%[k2])%{1to8%}, %%zmm20, %%zmm31\n\t"
            "vfmsub231pd %%zmm30, %%zmm5, %%zmm0\n\t"
            "vfmsub231pd %%zmm31, %%zmm20, %%zmm15\n\t"
            "vsubpd %%zmm30, %%zmm10, %%zmm10\n\t"
            "vsubpd %%zmm31, %%zmm25, %%zmm25\n\t"
            "vbroadcastsd 8(%[k1]), %%zmm30\n\t"
            "vfmadd231pd 0(%[k1])%{1to8%}, %%zmm6, %%zmm30\n\t"
            "vbroadcastsd 8(%[k2]), %%zmm31\n\t"
            "vfmadd231pd 0(%[k2])%{1to8%}, %%zmm21, %%zmm31\n\t"
            "vfmsub231pd %%zmm30, %%zmm6, %%zmm1\n\t"
            "vfmsub231pd %%zmm31, %%zmm21, %%zmm16\n\t"
            "vsubpd %%zmm30, %%zmm11, %%zmm11\n\t"
            "vsubpd %%zmm31, %%zmm26, %%zmm26\n\t"
            "vbroadcastsd 8(%[k1]), %%zmm30\n\t"
            "vfmadd231pd 0(%[k1])%{1to8%}, %%zmm7, %%zmm30\n\t"
            "vbroadcastsd 8(%[k2]), %%zmm31\n\t"
            "vfmadd231pd 0(%[k2])%{1to8%}, %%zmm22, %%zmm31\n\t"
            "vfmsub231pd %%zmm30, %%zmm7, %%zmm2\n\t"
            "vfmsub231pd %%zmm31, %%zmm22, %%zmm17\n\t"
            "vsubpd %%zmm30, %%zmm12, %%zmm12\n\t"
            "vsubpd %%zmm31, %%zmm27, %%zmm27\n\t"
            "vbroadcastsd 8(%[k1]), %%zmm30\n\t"
            "vfmadd231pd 0(%[k1])%{1to8%}, %%zmm8, %%zmm30\n\t"
            "vbroadcastsd 8(%[k2]), %%zmm31\n\t"
            "vfmadd231pd 0(%[k2])%{1to8%}, %%zmm23, %%zmm31\n\t"
            "vfmsub231pd %%zmm30, %%zmm8, %%zmm3\n\t"
            "vfmsub231pd %%zmm31, %%zmm23, %%zmm18\n\t"
            "vsubpd %%zmm30, %%zmm13, %%zmm13\n\t"
            "vsubpd %%zmm31, %%zmm28, %%zmm28\n\t"
            "vbroadcastsd 8(%[k1]), %%zmm30\n\t"
            "vfmadd231pd 0(%[k1])%{1to8%}, %%zmm9, %%zmm30\n\t"
            "vbroadcastsd 8(%[k2]), %%zmm31\n\t"
            "vfmadd231pd 0(%[k2])%{1to8%}, %%zmm24, %%zmm31\n\t"
            "vfmsub231pd %%zmm30, %%zmm9, %%zmm4\n\t"
            "vfmsub231pd %%zmm31, %%zmm24, %%zmm19\n\t"
            "vsubpd %%zmm30, %%zmm14, %%zmm14\n\t"
            "vsubpd %%zmm31, %%zmm29, %%zmm29\n\t"
            "vaddpd %%zmm0, %%zmm10, %%zmm10\n\t"
            "vaddpd %%zmm15, %%zmm25, %%zmm25\n\t"
            "vaddpd %%zmm1, %%zmm11, %%zmm11\n\t"
            "vaddpd %%zmm16, %%zmm26, %%zmm26\n\t"
            "vaddpd %%zmm2, %%zmm12, %%zmm12\n\t"
            "vaddpd %%zmm17, %%zmm27, %%zmm27\n\t"
            "vaddpd %%zmm3, %%zmm13, %%zmm13\n\t"
            "vaddpd %%zmm18, %%zmm28, %%zmm28\n\t"
            "vaddpd %%zmm4, %%zmm14, %%zmm14\n\t"
            "vaddpd %%zmm19, %%zmm29, %%zmm29\n\t"
            "dec %[n]\n\t"
            "jnz 1b\n\t"
            "2:\n\t"
            "vmovupd %%zmm0, 0(%[state])\n\t"
            "vmovupd %%zmm1, 64(%[state])\n\t"
            "vmovupd %%zmm2, 128(%[state])\n\t"
            "vmovupd %%zmm3, 192(%[state])\n\t"
            "vmovupd %%zmm4, 256(%[state])\n\t"
            "vmovupd %%zmm5, 320(%[state])\n\t"
            "vmovupd %%zmm6, 384(%[state])\n\t"
            "vmovupd %%zmm7, 448(%[state])\n\t"
            "vmovupd %%zmm8, 512(%[state])\n\t"
            "vmovupd %%zmm9, 576(%[state])\n\t"
            "vmovupd %%zmm10, 640(%[state])\n\t"
            "vmovupd %%zmm11, 704(%[state])\n\t"
            "vmovupd %%zmm12, 768(%[state])\n\t"
            "vmovupd %%zmm13, 832(%[state])\n\t"
            "vmovupd %%zmm14, 896(%[state])\n\t"
            "vmovupd %%zmm15, 960(%[state])\n\t"
            "vmovupd %%zmm16, 1024(%[state])\n\t"
            "vmovupd %%zmm17, 1088(%[state])\n\t"
            "vmovupd %%zmm18, 1152(%[state])\n\t"
            "vmovupd %%zmm19, 1216(%[state])\n\t"
            "vmovupd %%zmm20, 1280(%[state])\n\t"
            "vmovupd %%zmm21, 1344(%[state])\n\t"
            "vmovupd %%zmm22, 1408(%[state])\n\t"
            "vmovupd %%zmm23, 1472(%[state])\n\t"
            "vmovupd %%zmm24, 1536(%[state])\n\t"
            "vmovupd %%zmm25, 1600(%[state])\n\t"
            "vmovupd %%zmm26, 1664(%[state])\n\t"
            "vmovupd %%zmm27, 1728(%[state])\n\t"
            "vmovupd %%zmm28, 1792(%[state])\n\t"
            "vmovupd %%zmm29, 1856(%[state])\n\t"
            : [n] "+r"(pairs)
            : [state] "r"(state), [k1] "r"(&k1), [k2] "r"(&k2)
            : "cc", "memory", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7",
              "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "xmm16",
              "xmm17", "xmm18", "xmm19", "xmm20", "xmm21", "xmm22", "xmm23", "xmm24", "xmm25",
              "xmm26", "xmm27", "xmm28", "xmm29", "xmm30", "xmm31");
        for (std::size_t r = 0; r < 30; ++r)
            V::Store(rows[r / 5] + (r % 5) * kLanes, V::Load(state + r * kLanes));
    }
}
#endif

LOADS_TARGET void Fma(double* first, double* second, const MapConstants& k1, const MapConstants& k2,
                      std::size_t steps, std::size_t block) {
    FmaTwin<V>(first, second, k1, k2, steps, block);
}
LOADS_TARGET void FmaAdd(double* first, double* second, const MapConstants& k1,
                         const MapConstants& k2, std::size_t steps, std::size_t block) {
#if defined(__x86_64__)
    if (block == 5) return FmaAddFive(first, second, k1, k2, steps);
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
