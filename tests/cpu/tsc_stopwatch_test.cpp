// The stopwatch's calibration and modulo arithmetic, the clock text, and the
// estimate through a scripted counter and sleep, then once for real.
#include "cpu/tsc_stopwatch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "tests/cpu/fake_cpuid.h"

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

// A counter that answers a script of readings, one per read.
std::vector<std::uint64_t> script;
std::size_t reads = 0;

std::uint64_t ScriptedCounter() {
    EXPECT_LT(reads, script.size()) << "the counter was read more often than scripted";
    return reads < script.size() ? script[reads++] : 0;
}

void Script(std::vector<std::uint64_t> readings) {
    script = std::move(readings);
    reads = 0;
}

// A sleep that only notes what it was asked, and how many readings came before it.
std::vector<unsigned> sleeps;
std::vector<std::size_t> readsBeforeSleep;

void NotedSleep(unsigned milliseconds) {
    sleeps.push_back(milliseconds);
    readsBeforeSleep.push_back(reads);
}

ProcessorModel WithStandardFlags(std::uint32_t standard, bool cpuid = true) {
    ProcessorModel model;
    model.cpuid = cpuid;
    model.signature = 0x543;
    model.standard = standard;
    return model;
}

constexpr std::uint32_t kFpu = 1u << 0, kTsc = 1u << 4;

TEST(TscStopwatch, ConstructionCalibratesTheOverheadOfOneMeasurement) {
    Script({100, 130, 1000, 1500});
    CTscStopwatch stopwatch(ScriptedCounter);
    EXPECT_EQ(stopwatch.start, 100u);
    EXPECT_EQ(stopwatch.overhead, 30u);
    stopwatch.Restart();
    EXPECT_EQ(stopwatch.start, 1000u);
    EXPECT_EQ(stopwatch.Elapsed(), 470u);  // 1500 - 1000 - 30
    EXPECT_EQ(reads, 4u);
}

TEST(TscStopwatch, ArithmeticIsModulo2To64) {
    struct Case {
        const char* what;
        std::vector<std::uint64_t> readings;  // calibration pair, restart, elapsed
        std::uint64_t elapsed;
    };
    const Case cases[] = {
        {"counter wraps after the restart", {kMax - 9, kMax - 4, kMax - 2, 20}, 18},
        {"counter goes backwards", {0, 5, 1000, 900}, kMax - 104},
        {"overhead larger than the gap", {0, 50, 1000, 1010}, kMax - 39},
        {"calibration pair goes backwards", {10, 5, 1000, 1000}, 5},
    };
    for (const Case& c : cases) {
        Script(c.readings);
        CTscStopwatch stopwatch(ScriptedCounter);
        stopwatch.Restart();
        EXPECT_EQ(stopwatch.Elapsed(), c.elapsed) << c.what;
    }
}

TEST(ClockText, HundredthsOfAMegahertzTruncated) {
    const struct {
        std::uint64_t ticks;
        const char* text;
    } cases[] = {
        {500050000, "500.05   MHZ   estimate "},
        {733129876, "733.12   MHZ   estimate "},
        {1000000000, "1000.00   MHZ   estimate "},
        {9999, "0.00   MHZ   estimate "},
        {0, "0.00   MHZ   estimate "},
        {10000, "0.01   MHZ   estimate "},
        {kMax, "31336081.39   MHZ   estimate "},  // low 32 bits of the quotient
        {(std::uint64_t{1} << 32) * 10000 + 1230000, "1.23   MHZ   estimate "},
    };
    for (const auto& c : cases) EXPECT_EQ(ClockText(c.ticks), c.text) << c.ticks;
}

class EstimateClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        sleeps.clear();
        readsBeforeSleep.clear();
    }
};

TEST_F(EstimateClockTest, CountsTicksOverOneSleepOfOneSecond) {
    FakeCpuid source(WithStandardFlags(kFpu | kTsc));
    ScopedActiveCpuid active(source);
    // Calibration 0 -> 40 (overhead 40), restart at 1000, elapsed read after the sleep.
    Script({0, 40, 1000, 733130916});
    EXPECT_EQ(EstimateClock(ScriptedCounter, NotedSleep), "733.12   MHZ   estimate ");
    EXPECT_EQ(sleeps, std::vector<unsigned>{1000});
    EXPECT_EQ(readsBeforeSleep, std::vector<std::size_t>{3});
    EXPECT_EQ(reads, 4u);
}

TEST_F(EstimateClockTest, NoEstimateWithoutATimeStampCounter) {
    const ProcessorModel models[] = {WithStandardFlags(kFpu),
                                     WithStandardFlags(kFpu | kTsc, false)};
    for (const ProcessorModel& model : models) {
        FakeCpuid source(model);
        ScopedActiveCpuid active(source);
        Script({});
        EXPECT_EQ(EstimateClock(ScriptedCounter, NotedSleep), std::nullopt);
        EXPECT_EQ(reads, 0u);
        EXPECT_TRUE(sleeps.empty());
    }
}

// "<digits>.<two digits>   MHZ   estimate ": the number of whole megahertz, or -1.
long WholeMegahertz(const std::string& text) {
    const std::string suffix = "   MHZ   estimate ";
    if (text.size() < suffix.size() + 4) return -1;
    if (text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0) return -1;
    const std::string number = text.substr(0, text.size() - suffix.size());
    const std::size_t point = number.size() - 3;
    if (number[point] != '.') return -1;
    const std::string digits = number.substr(0, point) + number.substr(point + 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::strtol(number.substr(0, point).c_str(), nullptr, 10);
}

TEST(EstimateClockHardware, ThisProcessorGivesAPlausibleEstimate) {
    ASSERT_EQ(WholeMegahertz("733.12   MHZ   estimate "), 733);
    ASSERT_EQ(WholeMegahertz("733.1   MHZ   estimate "), -1);
    ASSERT_EQ(WholeMegahertz("733.12  MHZ   estimate "), -1);
    const std::optional<std::string> text = EstimateClock();
    ASSERT_TRUE(text.has_value());
    const long megahertz = WholeMegahertz(*text);
    EXPECT_GE(megahertz, 100) << '"' << *text << '"';
    EXPECT_LE(megahertz, 10000) << '"' << *text << '"';
    std::printf("this processor: %s\n", text->c_str());
}

}  // namespace
