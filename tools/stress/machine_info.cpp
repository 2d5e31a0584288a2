// Processor and build descriptions for the reports.
#include "tools/stress/machine_info.h"

#include <cstring>

#ifdef __GLIBC__
#include <gnu/libc-version.h>
#endif

namespace {

constexpr std::uint32_t kExtendedBase = 0x80000000u;
constexpr std::uint32_t kBrandFirst = 0x80000002u;
constexpr std::uint32_t kBrandLast = 0x80000004u;

std::string CRuntime() {
#if defined(__GLIBC__)
    return std::string("glibc ") + gnu_get_libc_version();
#elif defined(_UCRT)
    return "ucrt (mingw-w64)";
#elif defined(__MINGW32__)
    return "msvcrt (mingw-w64)";
#else
    return "unknown";
#endif
}

}  // namespace

std::string BrandString(CpuidSource& cpuid) {
    if (!cpuid.Supported() || cpuid.Query(kExtendedBase).eax < kBrandLast) return {};
    char text[49] = {};
    for (std::uint32_t leaf = kBrandFirst; leaf <= kBrandLast; ++leaf) {
        const CpuidRegisters r = cpuid.Query(leaf);
        const std::uint32_t words[] = {r.eax, r.ebx, r.ecx, r.edx};
        std::memcpy(text + std::size_t{16} * (leaf - kBrandFirst), words, sizeof words);
    }
    std::string brand(text);
    brand.erase(0, brand.find_first_not_of(' '));
    brand.erase(brand.find_last_not_of(' ') + 1);
    return brand;
}

std::string Signature(CpuidSource& cpuid) {
    if (!cpuid.Supported()) return "no CPUID";
    const std::uint32_t eax = cpuid.Query(1).eax;
    std::uint32_t family = (eax >> 8) & 0xf, model = (eax >> 4) & 0xf;
    if (family == 0xf) family += (eax >> 20) & 0xff;
    if (family == 0x6 || family >= 0xf) model += ((eax >> 16) & 0xf) << 4;
    return "family " + std::to_string(family) + " model " + std::to_string(model) + " stepping " +
           std::to_string(eax & 0xf);
}

std::vector<std::string> PlatformInfos(CpuidSource& cpuid) {
    std::vector<std::string> infos;
    if (std::string brand = BrandString(cpuid); !brand.empty()) infos.push_back(brand);
    infos.push_back(Signature(cpuid));
    infos.push_back("compiler GCC " __VERSION__);
    infos.push_back("C runtime " + CRuntime());
    return infos;
}
