// The processor's own CPUID and the EFLAGS ID-flag test, in GCC inline assembly
// for i686 and x86-64, and the switch that lets tests put their own answers in place.
#include "cpu/cpuid_source.h"

namespace {

constexpr std::uint32_t kIdFlag = 0x200000;  // EFLAGS bit 21

// Read EFLAGS, write it back with the ID flag inverted, read again, restore the
// first reading; the two readings differ exactly when the flag could be changed.
std::uint32_t IdFlagChanges() {
#if defined(__x86_64__)
    std::uint64_t first, second;
    // The pushes would otherwise land in the red zone below the stack pointer,
    // where the compiler may keep locals of a leaf function.
    __asm__ __volatile__(
        "leaq -128(%%rsp), %%rsp\n\t"
        "pushfq\n\t"
        "popq %0\n\t"
        "movq %0, %1\n\t"
        "xorq %2, %1\n\t"
        "pushq %1\n\t"
        "popfq\n\t"
        "pushfq\n\t"
        "popq %1\n\t"
        "pushq %0\n\t"
        "popfq\n\t"
        "leaq 128(%%rsp), %%rsp"
        : "=&r"(first), "=&r"(second)
        : "i"(kIdFlag)
        : "cc");
#elif defined(__i386__)
    std::uint32_t first, second;
    __asm__ __volatile__(
        "pushfl\n\t"
        "popl %0\n\t"
        "movl %0, %1\n\t"
        "xorl %2, %1\n\t"
        "pushl %1\n\t"
        "popfl\n\t"
        "pushfl\n\t"
        "popl %1\n\t"
        "pushl %0\n\t"
        "popfl"
        : "=&r"(first), "=&r"(second)
        : "i"(kIdFlag)
        : "cc");
#else
#error "Quarrion asks an x86 processor: build for i686 or x86-64"
#endif
    return static_cast<std::uint32_t>(first ^ second);
}

class ProcessorCpuid : public CpuidSource {
public:
    std::uint32_t Supported() override { return IdFlagChanges(); }

    CpuidRegisters Query(std::uint32_t leaf) override {
        CpuidRegisters r;
        __asm__ __volatile__("cpuid"
                             : "=a"(r.eax), "=b"(r.ebx), "=c"(r.ecx), "=d"(r.edx)
                             : "a"(leaf), "c"(0u));
        return r;
    }
};

CpuidSource* activeSource = nullptr;  // not owned; null means the hardware

}  // namespace

CpuidSource& HardwareCpuid() {
    static ProcessorCpuid processor;
    return processor;
}

CpuidSource& ActiveCpuidSource() {
    return activeSource ? *activeSource : HardwareCpuid();
}

void SetActiveCpuidSource(CpuidSource* source) {
    activeSource = source;
}
