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

LOADS_TARGET void Fma(double* first, double* second, const MapConstants& k1, const MapConstants& k2,
                      std::size_t steps, std::size_t block) {
    FmaTwin<V>(first, second, k1, k2, steps, block);
}
LOADS_TARGET void FmaAdd(double* first, double* second, const MapConstants& k1,
                         const MapConstants& k2, std::size_t steps, std::size_t block) {
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
