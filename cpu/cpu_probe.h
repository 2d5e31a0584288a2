// Processor identification: each question executes CPUID afresh, tests its
// conditions in order and stops at the first that fails.
#pragma once

#include <cstdint>

#include "cpu/cpuid_source.h"

class CCpuProbe {
public:
    CCpuProbe() : source_(&ActiveCpuidSource()) {}
    explicit CCpuProbe(CpuidSource& source) : source_(&source) {}

    // Probes.
    std::uint32_t CpuidSupported() const;
    std::int32_t GetSignature() const;
    std::uint32_t GetFeatureFlags() const;
    std::uint32_t SignatureBit9() const;
    std::int32_t GetMaxStandardLeaf(char (&vendor)[13]) const;
    std::uint32_t GetMaxExtendedLeaf() const;
    std::uint32_t GetExtendedFeatureFlags() const;

    // Questions.
    bool HasMMX() const;
    bool HasSSE() const;
    bool HasTimeStampCounter() const;  // standard bit 4
    bool IsPentiumIII() const;
    bool IsPentiumII() const;
    bool IsPentiumMMX() const;
    bool IsPentium() const;
    bool IsAthlon() const;
    bool IsK6II() const;
    bool IsK6() const;

    // One of the seven names, or nullptr when none fits.
    const char* NameProcessor() const;

private:
    CpuidSource* source_;  // not owned
};
