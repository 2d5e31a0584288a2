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

LOADS_TARGET void Fma(double* first, double* second) {
    FmaTwin<V>(first, second);
}
#if defined(__x86_64__)
// Sixteen chains fill the sixteen registers, so the constant comes from memory
// (a load port, not a register). The compiler's allocator spills sums instead,
// so the loop is written out: registers 0-3 and 4-7 hold the two copies'
// multiply-add chains, 8-11 and 12-15 their sums. Same operations, same order
// per lane as every other variant.
LOADS_TARGET void FmaAdd(double* first, double* second) {
    static_assert(kMixChains == 4 && kMixSteps % 2 == 0, "the loop below is written for these");
    constexpr std::size_t kSums = kMixChains * kMixLanes;
    const __m256d c = _mm256_set1_pd(kQuadraticC);
    for (std::size_t lane = 0; lane < kMixLanes; lane += V::kLanes) {
        double* const places[4] = {first, second, first + kSums, second + kSums};
        double state[16 * V::kLanes];
        for (std::size_t r = 0; r < 16; ++r)
            V::Store(state + r * V::kLanes, V::Load(places[r / 4] + (r % 4) * kMixLanes + lane));
        std::size_t pairs = kMixSteps / 2;
        __asm__ volatile(
            "vmovupd 0(%[state]), %%ymm0\n\t"
            "vmovupd 32(%[state]), %%ymm1\n\t"
            "vmovupd 64(%[state]), %%ymm2\n\t"
            "vmovupd 96(%[state]), %%ymm3\n\t"
            "vmovupd 128(%[state]), %%ymm4\n\t"
            "vmovupd 160(%[state]), %%ymm5\n\t"
            "vmovupd 192(%[state]), %%ymm6\n\t"
            "vmovupd 224(%[state]), %%ymm7\n\t"
            "vmovupd 256(%[state]), %%ymm8\n\t"
            "vmovupd 288(%[state]), %%ymm9\n\t"
            "vmovupd 320(%[state]), %%ymm10\n\t"
            "vmovupd 352(%[state]), %%ymm11\n\t"
            "vmovupd 384(%[state]), %%ymm12\n\t"
            "vmovupd 416(%[state]), %%ymm13\n\t"
            "vmovupd 448(%[state]), %%ymm14\n\t"
            "vmovupd 480(%[state]), %%ymm15\n\t"
            "1:\n\t"
            "vfmadd213pd %[c], %%ymm0, %%ymm0\n\t"
            "vfmadd213pd %[c], %%ymm4, %%ymm4\n\t"
            "vfmadd213pd %[c], %%ymm1, %%ymm1\n\t"
            "vfmadd213pd %[c], %%ymm5, %%ymm5\n\t"
            "vfmadd213pd %[c], %%ymm2, %%ymm2\n\t"
            "vfmadd213pd %[c], %%ymm6, %%ymm6\n\t"
            "vfmadd213pd %[c], %%ymm3, %%ymm3\n\t"
            "vfmadd213pd %[c], %%ymm7, %%ymm7\n\t"
            "vaddpd %%ymm0, %%ymm8, %%ymm8\n\t"
            "vaddpd %%ymm4, %%ymm12, %%ymm12\n\t"
            "vaddpd %%ymm1, %%ymm9, %%ymm9\n\t"
            "vaddpd %%ymm5, %%ymm13, %%ymm13\n\t"
            "vaddpd %%ymm2, %%ymm10, %%ymm10\n\t"
            "vaddpd %%ymm6, %%ymm14, %%ymm14\n\t"
            "vaddpd %%ymm3, %%ymm11, %%ymm11\n\t"
            "vaddpd %%ymm7, %%ymm15, %%ymm15\n\t"
            "vfmadd213pd %[c], %%ymm0, %%ymm0\n\t"
            "vfmadd213pd %[c], %%ymm4, %%ymm4\n\t"
            "vfmadd213pd %[c], %%ymm1, %%ymm1\n\t"
            "vfmadd213pd %[c], %%ymm5, %%ymm5\n\t"
            "vfmadd213pd %[c], %%ymm2, %%ymm2\n\t"
            "vfmadd213pd %[c], %%ymm6, %%ymm6\n\t"
            "vfmadd213pd %[c], %%ymm3, %%ymm3\n\t"
            "vfmadd213pd %[c], %%ymm7, %%ymm7\n\t"
            "vsubpd %%ymm0, %%ymm8, %%ymm8\n\t"
            "vsubpd %%ymm4, %%ymm12, %%ymm12\n\t"
            "vsubpd %%ymm1, %%ymm9, %%ymm9\n\t"
            "vsubpd %%ymm5, %%ymm13, %%ymm13\n\t"
            "vsubpd %%ymm2, %%ymm10, %%ymm10\n\t"
            "vsubpd %%ymm6, %%ymm14, %%ymm14\n\t"
            "vsubpd %%ymm3, %%ymm11, %%ymm11\n\t"
            "vsubpd %%ymm7, %%ymm15, %%ymm15\n\t"
            "dec %[n]\n\t"
            "jnz 1b\n\t"
            "vmovupd %%ymm0, 0(%[state])\n\t"
            "vmovupd %%ymm1, 32(%[state])\n\t"
            "vmovupd %%ymm2, 64(%[state])\n\t"
            "vmovupd %%ymm3, 96(%[state])\n\t"
            "vmovupd %%ymm4, 128(%[state])\n\t"
            "vmovupd %%ymm5, 160(%[state])\n\t"
            "vmovupd %%ymm6, 192(%[state])\n\t"
            "vmovupd %%ymm7, 224(%[state])\n\t"
            "vmovupd %%ymm8, 256(%[state])\n\t"
            "vmovupd %%ymm9, 288(%[state])\n\t"
            "vmovupd %%ymm10, 320(%[state])\n\t"
            "vmovupd %%ymm11, 352(%[state])\n\t"
            "vmovupd %%ymm12, 384(%[state])\n\t"
            "vmovupd %%ymm13, 416(%[state])\n\t"
            "vmovupd %%ymm14, 448(%[state])\n\t"
            "vmovupd %%ymm15, 480(%[state])\n\t"
            : [n] "+r"(pairs)
            : [state] "r"(state), [c] "m"(c)
            : "cc", "memory", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7",
              "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
        for (std::size_t r = 0; r < 16; ++r)
            V::Store(places[r / 4] + (r % 4) * kMixLanes + lane, V::Load(state + r * V::kLanes));
    }
}
#else
LOADS_TARGET void FmaAdd(double* first, double* second) {
    FmaAddTwin<V>(first, second);
}
#endif
LOADS_TARGET void Sweep(const double* s1, const double* s2, double* t1, double* t2,
                        std::size_t length) {
    CacheSweepTwin<V>(s1, s2, t1, t2, length);
}

constexpr TwinKernels kHardware{Fma, FmaAdd, Sweep, IntTwin<V, true>};
constexpr TwinKernels kPortable{Fma, FmaAdd, Sweep, IntTwin<V, false>};

}  // namespace

const TwinKernels* Avx2Kernels(bool hardware) {
    return hardware ? &kHardware : &kPortable;
}

LOADS_TARGET double Avx2BareChains(std::size_t chains, std::size_t steps) {
    return BareSweep<V>(chains, steps);
}

}  // namespace vload
