// The CPUID probes, the questions built on them and the naming rule.
// Every call asks the source afresh; a question reads the flags once and tests all its bits on it.
#include "cpu/cpu_probe.h"

namespace {

constexpr std::uint32_t Bit(unsigned n) {
    return std::uint32_t{1} << n;
}

// Standard flags (leaf 1, EDX).
constexpr std::uint32_t kFpu = Bit(0);
constexpr std::uint32_t kTsc = Bit(4);
constexpr std::uint32_t kCmov = Bit(15);
constexpr std::uint32_t kMmx = Bit(23);
constexpr std::uint32_t kSse = Bit(25);

// Extended flags (leaf 0x80000001, EDX).
constexpr std::uint32_t kExtFpu = Bit(0);
constexpr std::uint32_t kExtCmov = Bit(15);
constexpr std::uint32_t kExtMmxAmd = Bit(22);
constexpr std::uint32_t kExtMmx = Bit(23);
constexpr std::uint32_t kExt3DNowPlus = Bit(30);
constexpr std::uint32_t kExt3DNow = Bit(31);

constexpr std::uint32_t kStandardLeaf = 0;
constexpr std::uint32_t kSignatureLeaf = 1;
constexpr std::uint32_t kExtendedLeaf = 0x80000000u;
constexpr std::uint32_t kExtendedFlagsLeaf = 0x80000001u;

bool HasAll(std::uint32_t flags, std::uint32_t mask) {
    return (flags & mask) == mask;
}

void StoreRegister(char* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// The conditions the AMD questions share after the signature: standard leaf > 0
// (signed), extended leaf >= 0x80000001 (unsigned), and only then the extended flags.
bool HasExtendedFlags(const CCpuProbe& probe, std::uint32_t mask) {
    char vendor[13];  // read, never compared
    return probe.GetMaxStandardLeaf(vendor) > 0 &&
           probe.GetMaxExtendedLeaf() >= kExtendedFlagsLeaf &&
           HasAll(probe.GetExtendedFeatureFlags(), mask);
}

}  // namespace

std::uint32_t CCpuProbe::CpuidSupported() const {
    return source_->Supported();
}

std::int32_t CCpuProbe::GetSignature() const {
    return static_cast<std::int32_t>(source_->Query(kSignatureLeaf).eax);
}

std::uint32_t CCpuProbe::GetFeatureFlags() const {
    return source_->Query(kSignatureLeaf).edx;
}

std::uint32_t CCpuProbe::SignatureBit9() const {
    return (source_->Query(kSignatureLeaf).eax >> 9) & 1;
}

std::int32_t CCpuProbe::GetMaxStandardLeaf(char (&vendor)[13]) const {
    const CpuidRegisters r = source_->Query(kStandardLeaf);
    StoreRegister(vendor, r.ebx);
    StoreRegister(vendor + 4, r.edx);
    StoreRegister(vendor + 8, r.ecx);
    vendor[12] = '\0';
    return static_cast<std::int32_t>(r.eax);
}

std::uint32_t CCpuProbe::GetMaxExtendedLeaf() const {
    return source_->Query(kExtendedLeaf).eax;
}

std::uint32_t CCpuProbe::GetExtendedFeatureFlags() const {
    return source_->Query(kExtendedFlagsLeaf).edx;
}

bool CCpuProbe::HasMMX() const {
    return CpuidSupported() && HasAll(GetFeatureFlags(), kMmx);
}

bool CCpuProbe::HasSSE() const {
    return CpuidSupported() && HasAll(GetFeatureFlags(), kSse);
}

bool CCpuProbe::HasTimeStampCounter() const {
    return CpuidSupported() && HasAll(GetFeatureFlags(), kTsc);
}

bool CCpuProbe::IsPentium() const {
    return CpuidSupported() && GetSignature() >= 5 && HasAll(GetFeatureFlags(), kFpu);
}

bool CCpuProbe::IsPentiumMMX() const {
    return CpuidSupported() && GetSignature() >= 5 && HasAll(GetFeatureFlags(), kFpu | kMmx);
}

bool CCpuProbe::IsPentiumII() const {
    return CpuidSupported() && GetSignature() >= 6 &&
           HasAll(GetFeatureFlags(), kFpu | kCmov | kMmx);
}

bool CCpuProbe::IsPentiumIII() const {
    return CpuidSupported() && GetSignature() >= 6 &&
           HasAll(GetFeatureFlags(), kFpu | kCmov | kMmx | kSse) && SignatureBit9() != 0;
}

bool CCpuProbe::IsK6() const {
    return CpuidSupported() && GetSignature() >= 5 && HasExtendedFlags(*this, kExtFpu | kExtMmx);
}

bool CCpuProbe::IsK6II() const {
    return CpuidSupported() && GetSignature() >= 5 &&
           HasExtendedFlags(*this, kExtFpu | kExtMmx | kExt3DNow);
}

bool CCpuProbe::IsAthlon() const {
    return CpuidSupported() && GetSignature() >= 6 &&
           HasExtendedFlags(*this,
                            kExtFpu | kExtCmov | kExtMmx | kExtMmxAmd | kExt3DNow | kExt3DNowPlus);
}

const char* CCpuProbe::NameProcessor() const {
    if (IsPentiumIII()) return "Intel Penitum III";
    if (IsPentiumII()) return "Intel Penitum II";
    if (IsPentiumMMX()) return "Intel Penitum MMX";
    if (IsPentium()) return "Intel Penitum";
    if (IsAthlon()) return "AMD Athlon";
    if (IsK6II()) return "AMD K6 II";
    if (IsK6()) return "AMD K6";
    return nullptr;
}
