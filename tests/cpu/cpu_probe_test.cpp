// The CPUID probes, questions and naming rule: on table-made processors, on
// real processors' values, and once on this machine's own.
#include "cpu/cpu_probe.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/cpu/fake_cpuid.h"

namespace {

constexpr std::uint32_t Bit(unsigned n) {
    return std::uint32_t{1} << n;
}

// Standard flags.
constexpr std::uint32_t kFpu = Bit(0), kTsc = Bit(4), kCmov = Bit(15), kMmx = Bit(23),
                        kSse = Bit(25);
constexpr std::uint32_t kPentiumIIIFlags = kFpu | kCmov | kMmx | kSse;
// Extended flags.
constexpr std::uint32_t kK6Flags = Bit(0) | Bit(23);
constexpr std::uint32_t kK6IIFlags = kK6Flags | Bit(31);
constexpr std::uint32_t kAthlonFlags = kK6IIFlags | Bit(15) | Bit(22) | Bit(30);

constexpr std::uint32_t kExtendedFlagsLeaf = 0x80000001u;

ProcessorModel Intel(std::uint32_t signature, std::uint32_t standard) {
    ProcessorModel model;
    model.signature = signature;
    model.standard = standard;
    return model;
}

// Standard bit 0 clear, so only the AMD questions can answer true.
ProcessorModel Amd(std::uint32_t signature, std::uint32_t extended,
                   std::uint32_t maxExtended = 0x80000008u, std::uint32_t maxStandard = 1) {
    ProcessorModel model;
    model.signature = signature;
    model.standard = kMmx | kCmov;
    model.maxStandard = maxStandard;
    model.maxExtended = maxExtended;
    model.extended = extended;
    return model;
}

ProcessorModel NoCpuid() {
    ProcessorModel model = Intel(0x672, kPentiumIIIFlags | kTsc);
    model.cpuid = false;
    return model;
}

std::string NameOf(const ProcessorModel& model) {
    FakeCpuid source(model);
    const char* name = CCpuProbe(source).NameProcessor();
    return name ? name : "(no name)";
}

TEST(CpuProbeNaming, PicksTheFirstNameWhoseQuestionHolds) {
    struct Case {
        const char* what;
        ProcessorModel model;
        const char* name;
    };
    const Case cases[] = {
        {"family 6, bits 0/15/23/25", Intel(0x672, kPentiumIIIFlags), "Intel Penitum III"},
        {"family 15, signature bit 9 set", Intel(0xF29, kPentiumIIIFlags), "Intel Penitum III"},
        {"bits 0/15/23/25, family 5 (bit 9 clear)", Intel(0x52C, kPentiumIIIFlags),
         "Intel Penitum II"},
        {"bits 0/15/23, no 25", Intel(0x633, kFpu | kCmov | kMmx), "Intel Penitum II"},
        {"AMD flags named as Intel",
         [] {
             ProcessorModel athlon = Amd(0x642, kAthlonFlags);
             athlon.standard = kFpu | kCmov | kMmx;
             return athlon;
         }(),
         "Intel Penitum II"},
        {"bits 0/23 without 15", Intel(0x543, kFpu | kMmx), "Intel Penitum MMX"},
        {"an AMD K6 reports bits 0/23 too",
         [] {
             ProcessorModel k6 = Amd(0x562, kK6Flags);
             k6.standard = kFpu | kMmx;
             return k6;
         }(),
         "Intel Penitum MMX"},
        {"bits 0/15 without 23", Intel(0x633, kFpu | kCmov), "Intel Penitum"},
        {"bit 0 only", Intel(0x52C, kFpu), "Intel Penitum"},
        {"Athlon", Amd(0x642, kAthlonFlags), "AMD Athlon"},
        {"K6 II", Amd(0x58C, kK6IIFlags), "AMD K6 II"},
        {"K6", Amd(0x562, kK6Flags), "AMD K6"},
        {"Athlon flags, signature 5", Amd(5, kAthlonFlags), "AMD K6 II"},
        {"highest extended leaf 0x80000000", Amd(0x642, kAthlonFlags, 0x80000000u), "(no name)"},
        {"highest standard leaf 0", Amd(0x642, kAthlonFlags, 0x80000008u, 0), "(no name)"},
        {"no flags at all", Intel(0x672, 0), "(no name)"},
        {"no CPUID", NoCpuid(), "(no name)"},
    };
    for (const Case& c : cases) EXPECT_EQ(NameOf(c.model), c.name) << c.what;
}

TEST(CpuProbeNaming, SignatureAndStandardLeafCompareAsSignedNumbers) {
    struct Case {
        const char* what;
        ProcessorModel model;
        const char* name;
    };
    const Case cases[] = {
        // The whole signature is compared, not the family field.
        {"signature exactly 6", Intel(6, kPentiumIIIFlags), "Intel Penitum II"},
        {"signature exactly 5", Intel(5, kPentiumIIIFlags), "Intel Penitum MMX"},
        {"signature 4", Intel(4, kPentiumIIIFlags), "(no name)"},
        {"signature with the top bit set is negative", Intel(0x80000672u, kPentiumIIIFlags),
         "(no name)"},
        {"AMD signature with the top bit set", Amd(0x80000642u, kAthlonFlags), "(no name)"},
        {"standard leaf with the top bit set is negative",
         Amd(0x642, kAthlonFlags, 0x80000008u, 0x80000002u), "(no name)"},
        // The extended leaf is unsigned: its top bit set is a large number.
        {"extended leaf 0xFFFFFFFF", Amd(0x562, kK6Flags, 0xFFFFFFFFu), "AMD K6"},
        {"extended leaf exactly 0x80000001", Amd(0x562, kK6Flags, 0x80000001u), "AMD K6"},
        {"extended leaf 0x7FFFFFFF", Amd(0x562, kK6Flags, 0x7FFFFFFFu), "(no name)"},
    };
    for (const Case& c : cases) EXPECT_EQ(NameOf(c.model), c.name) << c.what;
}

using Question = bool (CCpuProbe::*)() const;

struct QuestionCase {
    const char* what;
    Question question;
    ProcessorModel model;
    bool answer;
    std::vector<std::uint32_t> asked;  // leaves, in order
};

const Question kAllQuestions[] = {
    &CCpuProbe::HasMMX,       &CCpuProbe::HasSSE,      &CCpuProbe::HasTimeStampCounter,
    &CCpuProbe::IsPentiumIII, &CCpuProbe::IsPentiumII, &CCpuProbe::IsPentiumMMX,
    &CCpuProbe::IsPentium,    &CCpuProbe::IsAthlon,    &CCpuProbe::IsK6II,
    &CCpuProbe::IsK6,
};

TEST(CpuProbeQuestions, StopAtTheFirstFailingConditionAndReadTheFlagsOnce) {
    const std::uint32_t x = 0x80000000u, xf = kExtendedFlagsLeaf;
    const QuestionCase cases[] = {
        {"Pentium", &CCpuProbe::IsPentium, Intel(0x52C, kFpu), true, {1, 1}},
        {"Pentium, signature 4", &CCpuProbe::IsPentium, Intel(4, kFpu), false, {1}},
        {"Pentium MMX", &CCpuProbe::IsPentiumMMX, Intel(0x543, kFpu | kMmx), true, {1, 1}},
        {"Pentium II", &CCpuProbe::IsPentiumII, Intel(0x633, kFpu | kCmov | kMmx), true, {1, 1}},
        {"Pentium II, signature 5",
         &CCpuProbe::IsPentiumII,
         Intel(5, kFpu | kCmov | kMmx),
         false,
         {1}},
        {"Pentium III", &CCpuProbe::IsPentiumIII, Intel(0x672, kPentiumIIIFlags), true, {1, 1, 1}},
        {"Pentium III, no SSE: bit 9 not read",
         &CCpuProbe::IsPentiumIII,
         Intel(0x672, kFpu | kCmov | kMmx),
         false,
         {1, 1}},
        {"Pentium III, bit 9 clear",
         &CCpuProbe::IsPentiumIII,
         Intel(0x5FF, kPentiumIIIFlags),
         false,
         {1, 1, 1}},
        {"K6", &CCpuProbe::IsK6, Amd(0x562, kK6Flags), true, {1, 0, x, xf}},
        {"K6 II", &CCpuProbe::IsK6II, Amd(0x58C, kK6IIFlags), true, {1, 0, x, xf}},
        {"K6 II without 3DNow!", &CCpuProbe::IsK6II, Amd(0x58C, kK6Flags), false, {1, 0, x, xf}},
        {"Athlon", &CCpuProbe::IsAthlon, Amd(0x642, kAthlonFlags), true, {1, 0, x, xf}},
        {"Athlon, signature 5", &CCpuProbe::IsAthlon, Amd(5, kAthlonFlags), false, {1}},
        {"Athlon, standard leaf 0",
         &CCpuProbe::IsAthlon,
         Amd(0x642, kAthlonFlags, 0x80000008u, 0),
         false,
         {1, 0}},
        {"Athlon, extended leaf 0x80000000",
         &CCpuProbe::IsAthlon,
         Amd(0x642, kAthlonFlags, 0x80000000u),
         false,
         {1, 0, x}},
        {"K6, extended leaf 0x80000000",
         &CCpuProbe::IsK6,
         Amd(0x562, kK6Flags, 0x80000000u),
         false,
         {1, 0, x}},
        {"MMX", &CCpuProbe::HasMMX, Intel(0, kMmx), true, {1}},
        {"MMX absent", &CCpuProbe::HasMMX, Intel(0x672, kPentiumIIIFlags & ~kMmx), false, {1}},
        {"SSE", &CCpuProbe::HasSSE, Intel(0x80000000u, kSse), true, {1}},
        {"SSE absent", &CCpuProbe::HasSSE, Intel(0x672, kFpu | kCmov | kMmx), false, {1}},
        {"time-stamp counter", &CCpuProbe::HasTimeStampCounter, Intel(0x543, kTsc), true, {1}},
        {"no time-stamp counter",
         &CCpuProbe::HasTimeStampCounter,
         Intel(0x543, kPentiumIIIFlags),
         false,
         {1}},
    };
    for (const QuestionCase& c : cases) {
        FakeCpuid source(c.model);
        EXPECT_EQ((CCpuProbe(source).*c.question)(), c.answer) << c.what;
        EXPECT_EQ(source.asked, c.asked) << c.what;
        EXPECT_EQ(source.supportedCalls, 1) << c.what;
        EXPECT_EQ(source.queriesBeforeConfirmed, 0) << c.what;
    }
}

TEST(CpuProbeQuestions, WithoutCpuidEveryQuestionIsFalseAndNoLeafIsAsked) {
    for (const Question question : kAllQuestions) {
        FakeCpuid source(NoCpuid());
        EXPECT_FALSE((CCpuProbe(source).*question)());
        EXPECT_TRUE(source.asked.empty());
    }
    FakeCpuid source(NoCpuid());
    CCpuProbe probe(source);
    EXPECT_EQ(probe.NameProcessor(), nullptr);
    EXPECT_FALSE(probe.HasMMX());
    EXPECT_FALSE(probe.HasSSE());
    EXPECT_TRUE(source.asked.empty());
}

TEST(CpuProbeQuestions, NoQuestionReadsExtendedFlagsBeforeTheExtendedLeafTestPassed) {
    const ProcessorModel models[] = {
        Amd(0x642, kAthlonFlags, 0x80000000u),
        Amd(0x642, kAthlonFlags, 0),
        Amd(0x642, kAthlonFlags, 0x80000008u, 0),
        Intel(0x672, kPentiumIIIFlags),
    };
    for (const ProcessorModel& model : models) {
        for (const Question question : kAllQuestions) {
            FakeCpuid source(model);
            (CCpuProbe(source).*question)();
            for (const std::uint32_t leaf : source.asked) EXPECT_NE(leaf, kExtendedFlagsLeaf);
        }
        FakeCpuid source(model);
        CCpuProbe(source).NameProcessor();
        for (const std::uint32_t leaf : source.asked) EXPECT_NE(leaf, kExtendedFlagsLeaf);
        EXPECT_EQ(source.queriesBeforeConfirmed, 0);
    }
}

TEST(CpuProbeProbes, EachProbeExecutesCpuidAfresh) {
    FakeCpuid source(Amd(0x80000672u, kAthlonFlags, 0xFFFFFFFEu, 0x80000003u));
    CCpuProbe probe(source);
    EXPECT_EQ(probe.CpuidSupported(), 0x200000u);
    EXPECT_EQ(probe.GetSignature(), -2147481998);  // 0x80000672 as a signed number
    EXPECT_EQ(probe.GetFeatureFlags(), kMmx | kCmov);
    EXPECT_EQ(probe.SignatureBit9(), 1u);
    EXPECT_EQ(probe.GetMaxExtendedLeaf(), 0xFFFFFFFEu);
    EXPECT_EQ(probe.GetExtendedFeatureFlags(), kAthlonFlags);
    EXPECT_EQ(source.asked, (std::vector<std::uint32_t>{1, 1, 1, 0x80000000u, 0x80000001u}));

    source.leaves[1].eax = 0x5FF;  // the answer changes: nothing was cached
    EXPECT_EQ(probe.GetSignature(), 0x5FF);
    EXPECT_EQ(probe.SignatureBit9(), 0u);
}

TEST(CpuProbeProbes, MaxStandardLeafWritesTheVendorInRegisterOrder) {
    FakeCpuid source;
    // "AuthenticAMD": EBX "Auth", EDX "enti", ECX "cAMD", little-endian.
    source.leaves[0] = {0x80000001u, 0x68747541u, 0x444D4163u, 0x69746E65u};
    char vendor[13];
    std::memset(vendor, 'x', sizeof vendor);
    EXPECT_EQ(CCpuProbe(source).GetMaxStandardLeaf(vendor), -2147483647);
    EXPECT_EQ(std::memcmp(vendor, "AuthenticAMD", 13), 0);  // the zero byte included
}

TEST(CpuProbeSource, DefaultProbeAsksTheActiveSource) {
    FakeCpuid source(Amd(0x562, kK6Flags));
    {
        ScopedActiveCpuid active(source);
        EXPECT_EQ(&ActiveCpuidSource(), &source);
        EXPECT_STREQ(CCpuProbe().NameProcessor(), "AMD K6");
    }
    EXPECT_EQ(&ActiveCpuidSource(), &HardwareCpuid());
}

// Real processors, as their CPUID leaves read (signature and feature flags from
// published dumps), with what the rule is known to answer for each. The Intel
// names need standard flags only, so every processor with an on-chip FPU that
// fits them gets an Intel name; the AMD names are left to processors that do
// not report the FPU in their standard flags, and no real one here does that.
struct RealProcessor {
    const char* what;
    std::uint32_t maxStandard, signature, standard, maxExtended, extended;
    const char* name;
    bool mmx, sse, tsc;
};

const RealProcessor kRealProcessors[] = {
    // The whole signature is compared with 5, so even a 486 passes as a Pentium.
    {"Intel 486 DX4", 1, 0x00000480, 0x00000003, 0, 0, "Intel Penitum", false, false, false},
    {"Intel Pentium P54C", 1, 0x0000052C, 0x000001BF, 0, 0, "Intel Penitum", false, false, true},
    {"Intel Pentium MMX P55C", 1, 0x00000543, 0x008001BF, 0, 0, "Intel Penitum MMX", true, false,
     true},
    {"Intel Pentium Pro", 2, 0x00000619, 0x0000FBFF, 0, 0, "Intel Penitum", false, false, true},
    {"Intel Pentium II Klamath", 2, 0x00000634, 0x0080FBFF, 0, 0, "Intel Penitum II", true, false,
     true},
    {"Intel Pentium III Katmai", 3, 0x00000672, 0x0387FBFF, 0, 0, "Intel Penitum III", true, true,
     true},
    {"Intel Pentium 4 Northwood", 2, 0x00000F29, 0xBFEBFBFF, 0x80000004, 0, "Intel Penitum III",
     true, true, true},
    {"Intel Core i7 Skylake", 0x16, 0x000506E3, 0xBFEBFBFF, 0x80000008, 0x2C100800,
     "Intel Penitum III", true, true, true},
    {"AMD K6", 1, 0x00000562, 0x008001BF, 0x80000005, 0x008005BF, "Intel Penitum MMX", true, false,
     true},
    {"AMD K6-2", 1, 0x0000058C, 0x008021BF, 0x80000005, 0x808029BF, "Intel Penitum MMX", true,
     false, true},
    {"AMD Athlon Thunderbird", 1, 0x00000642, 0x0183F9FF, 0x80000005, 0xC1C3F9FF,
     "Intel Penitum II", true, false, true},
    {"AMD Athlon XP Palomino", 1, 0x00000662, 0x0383FBFF, 0x80000007, 0xC1C3FBFF,
     "Intel Penitum III", true, true, true},
    {"AMD Ryzen Zen", 0x0D, 0x00800F11, 0x178BFBFF, 0x8000001F, 0x2FD3FBFF, "Intel Penitum III",
     true, true, true},
};

TEST(CpuProbeRealProcessors, NameAndOptionsAsKnownForEachProcessor) {
    for (const RealProcessor& p : kRealProcessors) {
        SCOPED_TRACE(p.what);
        ProcessorModel model;
        model.maxStandard = p.maxStandard;
        model.signature = p.signature;
        model.standard = p.standard;
        model.maxExtended = p.maxExtended;
        model.extended = p.extended;
        FakeCpuid source(model);
        const CCpuProbe probe(source);
        const char* name = probe.NameProcessor();
        EXPECT_STREQ(name != nullptr ? name : "(no name)", p.name);
        EXPECT_EQ(probe.HasMMX(), p.mmx);
        EXPECT_EQ(probe.HasSSE(), p.sse);
        EXPECT_EQ(probe.HasTimeStampCounter(), p.tsc);
    }
}

// This machine's processor, asked through the real instruction, against what
// another reader of CPUID says about it: the compiler's runtime on Linux, the
// system's feature list on Windows.
TEST(CpuProbeHardware, ThisProcessorsAnswersAgreeWithTheSystem) {
    CCpuProbe probe;
    EXPECT_EQ(probe.CpuidSupported(), 0x200000u);
#ifdef _WIN32
    EXPECT_EQ(probe.HasMMX(), IsProcessorFeaturePresent(PF_MMX_INSTRUCTIONS_AVAILABLE) != 0);
    EXPECT_EQ(probe.HasSSE(), IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != 0);
    EXPECT_EQ(probe.HasTimeStampCounter(),
              IsProcessorFeaturePresent(PF_RDTSC_INSTRUCTION_AVAILABLE) != 0);
#else
    __builtin_cpu_init();
    EXPECT_EQ(probe.HasMMX(), __builtin_cpu_supports("mmx") != 0);
    EXPECT_EQ(probe.HasSSE(), __builtin_cpu_supports("sse") != 0);
#endif
    char vendor[13];
    EXPECT_GT(probe.GetMaxStandardLeaf(vendor), 0);
    EXPECT_EQ(std::strlen(vendor), 12u);
    const char* name = probe.NameProcessor();
    std::printf("this processor: %s, \"%s\"\n", vendor, name ? name : "(no name)");
}

}  // namespace
