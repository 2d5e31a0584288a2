// The load registry and what loops over it: every row runs, the plan, the
// choice of instruction set, known answers, and the FLOP rates in the reports.
#include "tools/stress/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>

#include "engine/complex_math.h"
#include "engine/matrix.h"
#include "engine/memory.h"
#include "engine/verification.h"
#include "tests/tools/fake_load.h"
#include "tools/stress/isa.h"
#include "tools/stress/known_answer.h"
#include "tools/stress/platform.h"
#include "tools/stress/report.h"
#include "tools/stress/runner.h"

namespace {

constexpr unsigned kUpToAvx2 = IsaBit(Isa::Base) | IsaBit(Isa::Sse2) | IsaBit(Isa::Avx2);

TEST(LoadRegistry, EveryRowRunsACleanCycleInItsDescriptorsLayout) {
    // What the dialog's rows must keep; other rows are checked by the loop alone.
    const struct {
        const char *load, *routine, *arrays;
        std::size_t results;
        bool raisesFlag;
    } dialog[] = {
        {"matrix", "MatrixWorker", "ABCD", 4 * 9999, true},
        {"memory", "MemoryWorker", "", 0, false},
        {"complex-math", "ComplexMathWorker", "XY", 2 * 3000, true},
    };
    for (const auto& d : dialog) {
        const RegisteredLoad* load = FindLoad(Registry(), d.load);
        ASSERT_NE(load, nullptr) << d.load;
        EXPECT_EQ(FindRoutine(Registry(), d.routine), load);
        EXPECT_STREQ(RoutineName(*load), d.routine);
        EXPECT_EQ(load->descriptor->layout.size(), d.results) << d.load;
        EXPECT_EQ(load->dialog->flag != nullptr, d.raisesFlag) << d.load;
        for (std::size_t i = 0; i < std::strlen(d.arrays); ++i)
            EXPECT_EQ(ArrayName(*load, static_cast<int>(i)), std::string(1, d.arrays[i]));
        EXPECT_EQ(load->descriptor->knownDigest, 0u) << "the dialog's digests vary by build";
    }
    std::set<std::string> names;
    for (const RegisteredLoad& load : Registry()) {
        const LoadDescriptor& d = *load.descriptor;
        SCOPED_TRACE(d.name);
        EXPECT_TRUE(names.insert(d.name).second) << "names are unique";
        EXPECT_GT(std::strlen(d.description), 0u);
        const auto isa = ChooseIsa(d.isas, MachineIsas());
        if (!isa) continue;  // built for instruction sets this machine lacks
        const auto instance = d.make(*isa);
        ASSERT_NE(instance, nullptr);
        EXPECT_EQ(instance->RunCycle(1, {}).mismatches, 0u);
        const PassResults results = instance->FirstPass();
        EXPECT_EQ(results.count, d.layout.count);
        EXPECT_EQ(results.length, d.layout.length);
        EXPECT_EQ(results.firstElement, d.layout.firstElement);
        if (d.knownDigest) {
            EXPECT_EQ(ResultsDigest(results), d.knownDigest);
        }
    }
    EXPECT_EQ(FindLoad(Registry(), "MatrixWorker"), nullptr) << "loads go by their own names";
}

// "MatrixWorker/base@-1 fake/avx2@0 ...": each planned worker.
std::string Describe(const std::vector<PlannedWorker>& plan) {
    std::string text;
    for (const PlannedWorker& p : plan)
        text += (text.empty() ? "" : " ") + std::string(RoutineName(*p.load)) + "/" +
                IsaName(p.isa) + "@" + std::to_string(p.processor);
    return text;
}

TEST(LoadPlan, LoadsPlacementsAndExtraWorkersCombineAsDocumented) {
    const LoadDescriptor fake = fake_load::Descriptor(0);
    const LoadRegistry registry = fake_load::WithFake(fake);
    const struct {
        std::vector<std::string> loads;
        Placement placement;
        int extraMatrix;
        bool mmx, sse;
        std::optional<Isa> isa;
        const char* plan;
    } cases[] = {
        {{},
         Placement::Table,
         -1,
         true,
         true,
         {},
         "MatrixWorker/base@-1 MemoryWorker/base@-1 ComplexMathWorker/base@-1 "
         "MatrixWorker/base@-1 MatrixWorker/base@-1"},
        {{},
         Placement::Table,
         -1,
         true,
         false,
         {},
         "MatrixWorker/base@-1 MemoryWorker/base@-1 ComplexMathWorker/base@-1 "
         "MatrixWorker/base@-1"},
        {{},
         Placement::Table,
         2,
         false,
         false,
         {},
         "MatrixWorker/base@-1 MemoryWorker/base@-1 ComplexMathWorker/base@-1 "
         "MatrixWorker/base@-1 MatrixWorker/base@-1"},
        {{},
         Placement::AllCpus,
         -1,
         true,
         true,
         {},
         "MatrixWorker/base@0 MatrixWorker/base@2 MemoryWorker/base@-1 "
         "ComplexMathWorker/base@-1"},
        {{}, Placement::CycleCores, -1, true, true, {}, "MatrixWorker/base@0"},
        {{"fake", "memory"},
         Placement::Table,
         -1,
         true,
         true,
         {},
         "fake/avx2@-1 MemoryWorker/base@-1"},
        {{"fake", "fake"},
         Placement::Table,
         -1,
         false,
         false,
         Isa::Sse2,
         "fake/sse2@-1 fake/sse2@-1"},
        {{"fake", "memory"},
         Placement::AllCpus,
         -1,
         false,
         false,
         {},
         "fake/avx2@0 MemoryWorker/base@0 fake/avx2@2 MemoryWorker/base@2"},
        {{"fake", "memory"},
         Placement::CycleCores,
         -1,
         false,
         false,
         {},
         "fake/avx2@0 MemoryWorker/base@0"},
        {{"matrix", "fake"},
         Placement::Table,
         1,
         true,
         true,
         Isa::Avx2,
         "MatrixWorker/base@-1 fake/avx2@-1 MatrixWorker/base@-1"},
    };
    for (const auto& c : cases) {
        RunSetup setup;
        setup.registry = &registry;
        setup.machineIsas = kUpToAvx2;
        setup.processors = {0, 2};
        setup.hasMmx = c.mmx;
        setup.hasSse = c.sse;
        setup.options.loads = c.loads;
        setup.options.placement = c.placement;
        setup.options.extraMatrix = c.extraMatrix;
        setup.options.isa = c.isa;
        EXPECT_EQ(Describe(PlanWorkers(setup)), c.plan);
    }
}

TEST(LoadIsaChoice, AForcedOrNeededInstructionSetTheMachineLacksIsNamed) {
    LoadDescriptor vectorOnly = fake_load::Descriptor(0);
    vectorOnly.name = "vector";
    vectorOnly.isas = IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512);
    const LoadDescriptor fake = fake_load::Descriptor(0);
    LoadRegistry registry = fake_load::WithFake(fake);
    registry.push_back({&vectorOnly, nullptr});
    const struct {
        std::vector<std::string> loads;
        unsigned machine;
        std::optional<Isa> isa;
        const char* why;  // null: the run can go ahead
    } cases[] = {
        {{"fake"}, kUpToAvx2, Isa::Avx512, "--isa avx512: this processor"},
        {{}, kUpToAvx2, Isa::Avx512, "--isa avx512: this processor"},
        {{}, kUpToAvx2, Isa::Avx2, nullptr},  // the dialog's routines keep their base
        {{"fake"}, IsaBit(Isa::Base), {}, nullptr},
        {{"vector"},
         IsaBit(Isa::Base) | IsaBit(Isa::Sse2),
         {},
         "load 'vector' cannot run here: needs avx512 or avx2; this processor has sse2"},
        {{"vector"}, kUpToAvx2, Isa::Sse2, "load 'vector' cannot run here: has no sse2 variant"},
        {{"vector"}, kUpToAvx2, {}, nullptr},
    };
    for (const auto& c : cases) {
        RunSetup setup;
        setup.registry = &registry;
        setup.machineIsas = c.machine;
        setup.options.loads = c.loads;
        setup.options.isa = c.isa;
        const auto why = MachineCannotRun(setup);
        ASSERT_EQ(why.has_value(), c.why != nullptr) << why.value_or("runs");
        if (c.why) {
            EXPECT_EQ(why->rfind(c.why, 0), 0u) << *why;
        }
    }
    std::ostringstream list;
    PrintLoads(list, registry, IsaBit(Isa::Base), std::nullopt);
    EXPECT_NE(list.str().find("fake           base     a test load\n"), std::string::npos)
        << list.str();
    EXPECT_NE(list.str().find("vector         -        a test load (unavailable: needs avx512 or "
                              "avx2; this processor has base)"),
              std::string::npos)
        << list.str();
}

// Element 2 of array 1 (the seventh of the pass), one bit.
constexpr int kArray = 1;
constexpr std::size_t kElement = 2;
constexpr std::uint64_t kMask = 0x4;

void FlipFakeBit(double* const* arrays, std::size_t) {
    const std::uint64_t bits = DoubleBits(arrays[kArray][kElement]) ^ kMask;
    std::memcpy(&arrays[kArray][kElement], &bits, sizeof bits);
}

struct Expected {
    std::size_t worker;
    ErrorKind kind;
    std::uint64_t cycle;
    bool located = true;
};

TEST(KnownAnswerRun, EachFaultIsCaughtByTheCheckMeantForItWithItsElementAndMask) {
    const struct {
        const char* what;
        std::size_t workers;
        bool crossCheck;
        std::vector<SeamFault> faults;
        bool wrongKnownDigest;
        std::vector<Expected> expected;  // empty: a clean run
        bool knownDiffers;
    } cases[] = {
        {"sound", 3, true, {}, false, {}, false},
        {"one copy of one worker",
         3,
         true,
         {{1, 2, {FlipFakeBit, false}}},
         false,
         {{1, ErrorKind::Pass, 2}},
         false},
        {"both copies, the others agree",
         3,
         true,
         {{2, 3, {FlipFakeBit, true}}},
         false,
         {{2, ErrorKind::CrossCore, 3}},
         false},
        {"both copies in the first cycle of two",
         2,
         true,
         {{1, 1, {FlipFakeBit, true}}},
         false,
         {{1, ErrorKind::KnownAnswer, 1}},
         false},
        {"a single worker's first cycle",
         1,
         true,
         {{0, 1, {FlipFakeBit, true}}},
         false,
         {{0, ErrorKind::KnownAnswer, 1}},
         true},
        {"a single worker's later cycle",
         1,
         true,
         {{0, 4, {FlipFakeBit, true}}},
         false,
         {{0, ErrorKind::KnownAnswer, 4}},
         false},
        {"no cross-check",
         3,
         false,
         {{2, 3, {FlipFakeBit, true}}},
         false,
         {{2, ErrorKind::KnownAnswer, 3}},
         false},
        {"every core wrong alike",
         3,
         true,
         {{0, 1, {FlipFakeBit, true}}, {1, 1, {FlipFakeBit, true}}, {2, 1, {FlipFakeBit, true}}},
         false,
         {{0, ErrorKind::KnownAnswer, 1},
          {1, ErrorKind::KnownAnswer, 1},
          {2, ErrorKind::KnownAnswer, 1}},
         true},
        {"a known digest this core cannot reproduce",
         1,
         true,
         {},
         true,
         {{0, ErrorKind::KnownAnswer, 1, false}},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const LoadDescriptor fake =
            fake_load::Descriptor(fake_load::SoundDigest() ^ (c.wrongKnownDigest ? 1 : 0));
        const LoadRegistry registry = fake_load::WithFake(fake);
        RunSetup setup;
        setup.registry = &registry;
        setup.options.seconds = 30;  // a bound: the run ends once every fault had its chance
        setup.options.loads.assign(c.workers, "fake");
        setup.options.crossCheck = c.crossCheck;
        RunSeams seams;
        seams.tick = std::chrono::milliseconds(20);
        seams.faults = c.faults;
        seams.until = [](const RunResult& r) {
            for (const auto& w : r.workers)
                if (w->cycles < 6) return false;
            return true;
        };
        const std::atomic<bool> never{false};
        std::ostringstream out;
        const RunResult r = RunStress(setup, out, false, never, seams);

        EXPECT_EQ(r.status, c.expected.empty() ? kExitClean : kExitErrors);
        EXPECT_EQ(ErrorLine(r),
                  c.expected.empty() ? "No Error(s) detected yet!" : " Error in fake");
        ASSERT_EQ(r.checks.size(), 1u);
        EXPECT_EQ(r.checks[0].KnownDiffers(), c.knownDiffers);
        std::set<std::size_t> faulty;
        for (const Expected& x : c.expected) {
            faulty.insert(x.worker);
            const WorkerState& w = *r.workers[x.worker];
            if (w.errors.empty()) {
                ADD_FAILURE() << "worker " << x.worker << " reported nothing";
                continue;
            }
            const ErrorRecord& e = w.errors.front();
            EXPECT_EQ(e.kind, x.kind) << ErrorKindName(e.kind);
            EXPECT_EQ(e.cycle, x.cycle);
            const std::string text = ErrorText(r, x.worker, e);
            if (!x.located) {
                EXPECT_EQ(e.mismatchingPairs, 0u);
                EXPECT_EQ(e.digest, fake_load::SoundDigest());
                EXPECT_NE(text.find("no element is named"), std::string::npos) << text;
                continue;
            }
            EXPECT_EQ(w.errors.size(), 1u) << "caught once, by one check";
            EXPECT_EQ(e.first.array, kArray);
            EXPECT_EQ(e.first.element, kElement);
            EXPECT_EQ(e.first.xorMask, kMask);
            EXPECT_EQ(e.mismatchingPairs, 1u);
            // Pass: the first copy is sound; otherwise the reference or known value is.
            const double sound = fake_load::Sound(kArray * 4 + kElement);
            EXPECT_EQ(x.kind == ErrorKind::Pass ? e.first.first : e.first.second, sound);
            EXPECT_NE(text.find("array 1 element 2"), std::string::npos) << text;
            EXPECT_NE(text.find("xor 0x0000000000000004"), std::string::npos) << text;
            if (x.kind == ErrorKind::KnownAnswer) {
                EXPECT_NE(text.find("known " + Hex64(fake.knownDigest)), std::string::npos) << text;
                EXPECT_NE(e.digest, fake_load::SoundDigest());
            }
        }
        for (std::size_t i = 0; i < r.workers.size(); ++i)
            EXPECT_TRUE(faulty.count(i) || r.workers[i]->errors.empty()) << "worker " << i;
    }
}

TEST(KnownAnswer, TheReferenceVariantIsTheNarrowestBothHave) {
    const struct {
        unsigned load, machine;
        Isa reference;
    } cases[] = {
        {IsaBit(Isa::Sse2) | IsaBit(Isa::Avx2), kUpToAvx2, Isa::Sse2},
        {IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512), kUpToAvx2, Isa::Avx2},
        {IsaBit(Isa::Base) | IsaBit(Isa::Avx2), kUpToAvx2, Isa::Base},
    };
    for (const auto& c : cases) EXPECT_EQ(ReferenceIsa(c.load, c.machine), c.reference);
}

TEST(LoadReports, EachWorkerNamesItsLoadAndSetAndCountedLoadsTheirFlopRate) {
    const LoadDescriptor fake = fake_load::Descriptor(fake_load::SoundDigest());
    const LoadRegistry registry = fake_load::WithFake(fake);
    RunSetup setup;
    setup.registry = &registry;
    setup.machineIsas = MachineIsas();
    setup.options.seconds = 30;
    setup.options.loads = {"fake", "complex-math", "fake"};
    setup.options.isa = Isa::Sse2;
    RunSeams seams;
    seams.tick = std::chrono::milliseconds(20);
    // A few ticks, so that the live line is drawn.
    seams.until = [ticks = 0](const RunResult& r) mutable {
        return ++ticks > 3 && r.workers[1]->cycles > 2;
    };
    const std::atomic<bool> never{false};
    std::ostringstream live;
    const RunResult r = RunStress(setup, live, true, never, seams);
    ASSERT_EQ(r.status, kExitClean) << live.str();
    EXPECT_NE(live.str().find("fake/sse2 "), std::string::npos) << live.str();
    EXPECT_NE(live.str().find(" GFLOP/s"), std::string::npos) << live.str();

    const auto report = BuildReport(setup, r);
    double sum = 0;
    for (std::size_t i : {0, 2}) {
        const auto& w = report["workers"][i];
        EXPECT_EQ(w["load"], "fake");
        EXPECT_EQ(w["isa"], "sse2");
        const double expected = fake_load::kFlopsPerCycle *
                                static_cast<double>(r.workers[i]->cycles) / r.elapsedSeconds;
        EXPECT_DOUBLE_EQ(w["flops_per_second"].get<double>(), expected);
        sum += expected;
    }
    EXPECT_EQ(report["workers"][1]["routine"], "ComplexMathWorker");
    EXPECT_EQ(report["workers"][1]["isa"], "base");
    EXPECT_TRUE(report["workers"][1]["flops_per_second"].is_null()) << "no count";
    EXPECT_DOUBLE_EQ(report["flops_per_second"].get<double>(), sum);
    EXPECT_EQ(report["references"][0]["known_digest"], Hex64(fake_load::SoundDigest()));

    std::ostringstream summary;
    PrintSummary(summary, setup, r);
    EXPECT_NE(summary.str().find("  1  fake               sse2    "), std::string::npos)
        << summary.str();
    EXPECT_NE(summary.str().find("Known answer fake: " + Hex64(fake.knownDigest) + ", matches"),
              std::string::npos)
        << summary.str();
}

}  // namespace
