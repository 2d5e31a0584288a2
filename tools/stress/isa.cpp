// The processor's answer alone is not enough for AVX: the operating system must
// also save the wider registers, which XGETBV tells.
#include "tools/stress/isa.h"

#include <cpuid.h>

#include <cstdint>

namespace {

constexpr Isa kWidestFirst[] = {Isa::Avx512, Isa::Avx2, Isa::Sse2, Isa::Base};

std::uint64_t EnabledStateComponents() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return 0;
    if (!(c & bit_OSXSAVE)) return 0;
    std::uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

}  // namespace

const char* IsaName(Isa isa) {
    switch (isa) {
        case Isa::Base:
            return "base";
        case Isa::Sse2:
            return "sse2";
        case Isa::Avx2:
            return "avx2";
        case Isa::Avx512:
            return "avx512";
    }
    return "?";
}

std::optional<Isa> ParseIsa(const std::string& name) {
    for (Isa isa : kWidestFirst)
        if (name == IsaName(isa)) return isa;
    return std::nullopt;
}

unsigned MachineIsas() {
    __builtin_cpu_init();
    unsigned isas = IsaBit(Isa::Base);
    if (__builtin_cpu_supports("sse2")) isas |= IsaBit(Isa::Sse2);
    const std::uint64_t xcr0 = EnabledStateComponents();
    const bool ymm = (xcr0 & 0x6) == 0x6;           // SSE and AVX state
    const bool zmm = ymm && (xcr0 & 0xe0) == 0xe0;  // opmask, upper ZMM, ZMM16-31
    if (ymm && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        isas |= IsaBit(Isa::Avx2);
    if (zmm && __builtin_cpu_supports("avx512f")) isas |= IsaBit(Isa::Avx512);
    return isas;
}

std::optional<Isa> ChooseIsa(unsigned loadIsas, unsigned machineIsas, std::optional<Isa> forced) {
    const unsigned usable = loadIsas & machineIsas;
    if (forced) return (usable & IsaBit(*forced)) ? forced : std::nullopt;
    for (Isa isa : kWidestFirst)
        if (usable & IsaBit(isa)) return isa;
    return std::nullopt;
}
