// The CPUID probes, questions and naming rule, on table-made
// processors and once on this machine's own.
#include "cpu/cpu_probe.h"

#include <gtest/gtest.h>

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

// Whatever this processor has: every i686 and x86-64 one has CPUID, and the
// questions answer what its own leaf 1 says.
TEST(CpuProbeHardware, ThisProcessorsOwnCpuidAnswers) {
    CCpuProbe probe;
    EXPECT_EQ(probe.CpuidSupported(), 0x200000u);
    const std::uint32_t standard = HardwareCpuid().Query(1).edx;
    EXPECT_EQ(probe.HasMMX(), (standard & kMmx) != 0);
    EXPECT_EQ(probe.HasSSE(), (standard & kSse) != 0);
    EXPECT_EQ(probe.HasTimeStampCounter(), (standard & kTsc) != 0);
    char vendor[13];
    EXPECT_GT(probe.GetMaxStandardLeaf(vendor), 0);
    EXPECT_EQ(std::strlen(vendor), 12u);
    const char* name = probe.NameProcessor();
    std::printf("this processor: %s, \"%s\"\n", vendor, name ? name : "(no name)");
}

}  // namespace
