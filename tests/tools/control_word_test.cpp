// The control words: a change is named bit by bit, a worker starts with the
// defaults, and a change during a cycle is an error of its own kind that the
// next cycle no longer sees.
#include "tools/stress/control_word.h"

#include <gtest/gtest.h>

#include <immintrin.h>

#include <sstream>

#include "tools/stress/report.h"
#include "tools/stress/runner.h"

namespace {

// The 32-bit build compiles for processors without SSE.
__attribute__((target("sse"))) unsigned GetCsr() {
    return _mm_getcsr();
}
__attribute__((target("sse"))) void SetCsr(unsigned value) {
    _mm_setcsr(value);
}

TEST(ControlWords, AChangeNamesEverySettingThatDiffersAndNoStatusFlag) {
    const struct {
        std::uint32_t mxcsr;
        std::uint16_t x87;
        const char* text;  // empty: no change
    } cases[] = {
        {kMxcsrDefault, kX87Default, ""},
        {kMxcsrDefault | 0x3f, kX87Default, ""},  // status flags the arithmetic sets
        {0x9f80, kX87Default, "MXCSR 0x9f80, expected 0x1f80: flush-to-zero on"},
        {0x7f80, kX87Default, "MXCSR 0x7f80, expected 0x1f80: rounding toward zero"},
        {0x1f00, kX87Default, "MXCSR 0x1f00, expected 0x1f80: invalid-operation unmasked"},
        {0x1fc0 & ~0x1000u, kX87Default,
         "MXCSR 0x0fc0, expected 0x1f80: denormals-are-zero on, precision unmasked"},
        {kMxcsrDefault, 0x037f, "x87 control word 0x037f, expected 0x027f: precision 64-bit"},
        {kMxcsrDefault, 0x067f, "x87 control word 0x067f, expected 0x027f: rounding down"},
    };
    for (const auto& c : cases) {
        const bool x87 = c.x87 != kX87Default;
        if (x87 && !ChecksX87()) continue;  // only the 32-bit build keeps the x87 word
        std::string expected = c.text;
        if (!x87 && !HasMxcsr()) expected.clear();
        EXPECT_EQ(ControlWordChange({c.mxcsr, c.x87}), expected) << c.text;
    }
}

TEST(ControlWords, AWorkerStartsWithTheDefaultsAndAChangeIsAnErrorOfItsOwnKind) {
    if (!HasMxcsr()) GTEST_SKIP() << "no MXCSR here";
    RunSetup setup;
    setup.options.seconds = 1;
    setup.options.extraMatrix = 0;
    RunSeams seams;
    seams.tick = std::chrono::milliseconds(20);
    // Something in the process sets flush-to-zero on one worker's thread before
    // its second cycle; the starting thread's own rounding is not the workers'.
    seams.beforeCycle = [](std::size_t worker, std::uint64_t cycle) {
        if (worker == 0 && cycle == 2) SetCsr(GetCsr() | 0x8000);
    };
    SetCsr(kMxcsrDefault | 0x6000);  // this thread's: the workers start from their own
    std::ostringstream out;
    const std::atomic<bool> interrupt{false};
    const RunResult r = RunStress(setup, out, false, interrupt, seams);
    SetCsr(kMxcsrDefault);
    EXPECT_EQ(r.status, kExitErrors);
    for (std::size_t i = 0; i < r.workers.size(); ++i) {
        const WorkerState& w = *r.workers[i];
        EXPECT_EQ(w.errorCycles.load(), i == 0 ? 1u : 0u) << "worker " << i;
        if (i != 0) continue;
        ASSERT_EQ(w.errors.size(), 1u);
        const ErrorRecord& e = w.errors[0];
        EXPECT_EQ(e.kind, ErrorKind::ControlWord);
        EXPECT_EQ(e.cycle, 2u);
        const std::string change = "MXCSR 0x9f80, expected 0x1f80: flush-to-zero on";
        EXPECT_NE(ErrorText(r, 0, e).find("control-word: " + change), std::string::npos)
            << ErrorText(r, 0, e);
        const auto report = BuildReport(setup, r);
        EXPECT_EQ(report["workers"][0]["errors"][0]["kind"], "control-word");
        EXPECT_EQ(report["workers"][0]["errors"][0]["control_words"], change);
    }
}

}  // namespace
