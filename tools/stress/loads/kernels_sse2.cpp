// The SSE2 kernels: integer work only. SSE2 has no fused multiply-add, and a
// multiply then an add rounds twice, so the floating-point loads offer no SSE2
// variant rather than give other bits.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "tools/stress/loads/kernels.h"

namespace vload {
namespace {

#define LOADS_TARGET __attribute__((target("sse2")))
#define LOADS_AES_TARGET __attribute__((target("sse2,aes,sse4.2")))

struct V {
    using I = __m128i;
    static constexpr std::size_t kLanes = 2;
    LOADS_TARGET static I LoadI(const std::uint64_t* p) {
        return _mm_loadu_si128(reinterpret_cast<const I*>(p));
    }
    LOADS_TARGET static void StoreI(std::uint64_t* p, I v) {
        _mm_storeu_si128(reinterpret_cast<I*>(p), v);
    }
    LOADS_TARGET static I Set1I(std::uint64_t v) {
        return _mm_set1_epi64x(static_cast<long long>(v));
    }
    LOADS_TARGET static I MwcStep(I x, I multiplier) {
        return _mm_add_epi64(_mm_mul_epu32(x, multiplier), _mm_srli_epi64(x, 32));
    }
};

#include "tools/stress/loads/kernel_body.inc"

constexpr TwinKernels kHardware{nullptr, nullptr, nullptr, IntTwin<V, true>};
constexpr TwinKernels kPortable{nullptr, nullptr, nullptr, IntTwin<V, false>};

}  // namespace

const TwinKernels* Sse2Kernels(bool hardware) {
    return hardware ? &kHardware : &kPortable;
}

}  // namespace vload
