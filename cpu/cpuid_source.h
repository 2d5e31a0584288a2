// Where CPUID answers come from: the processor itself, or a test's table. The
// probe asks through this seam so its rules can be tested without #ifdefs.
#pragma once

#include <cstdint>

struct CpuidRegisters {
    std::uint32_t eax = 0;
    std::uint32_t ebx = 0;
    std::uint32_t ecx = 0;
    std::uint32_t edx = 0;
};

class CpuidSource {
public:
    virtual ~CpuidSource() = default;
    // The EFLAGS ID-flag test: non-zero exactly when CPUID exists.
    virtual std::uint32_t Supported() = 0;
    // Executes CPUID for the leaf (sub-leaf 0).
    virtual CpuidRegisters Query(std::uint32_t leaf) = 0;
};

// The processor's own CPUID.
CpuidSource& HardwareCpuid();

// The source a default-constructed probe uses: the hardware, unless a test has
// put its own in place. Passing nullptr restores the hardware.
CpuidSource& ActiveCpuidSource();
void SetActiveCpuidSource(CpuidSource* source);
