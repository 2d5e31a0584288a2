// The complex-math worker: its values, its comparison and its stop behaviour.
#include "engine/complex_math.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "tests/engine/math_doubles.h"

namespace {

struct ComplexMath : ::testing::Test {
    std::unique_ptr<ComplexMathArrays> arrays = std::make_unique<ComplexMathArrays>();
    TestRunStateRecord state;
    void SetUp() override { CallLog::Reset(); }
};

TEST_F(ComplexMath, FirstElementsHoldTheExpectedValuesInBothPasses) {
    ComplexMathCycle(*arrays, state.complexMathError);
    const ComplexMathArrays& a = *arrays;
    for (const double* x : {a.x, a.x2}) {
        EXPECT_EQ(x[0], 1.0);
        EXPECT_NEAR(x[1], 0.5403023059, 1e-10);
        EXPECT_DOUBLE_EQ(x[2999], std::cos(2999.0));
    }
    for (const double* y : {a.y, a.y2}) {
        EXPECT_NEAR(y[0], 8.100000074, 1e-9);
        EXPECT_NEAR(y[1], 5.217919702, 1e-9);
    }
    EXPECT_FALSE(state.complexMathError.load());
}

TEST_F(ComplexMath, AccumulateQuotientsAddsTheQuotientToTheTarget) {
    double source[kComplexLength], target[kComplexLength];
    for (std::size_t k = 0; k < kComplexLength; ++k) {
        source[k] = static_cast<double>(k);
        target[k] = 1.0;
    }
    AccumulateQuotients(source, target, 2.0);
    EXPECT_EQ(target[0], 1.0);
    EXPECT_EQ(target[3], 2.5);
    EXPECT_EQ(target[2999], 1500.5);
    EXPECT_EQ(source[2999], 2999.0) << "the source is only read";
}

TEST_F(ComplexMath, AnyCorruptedElementOfEitherArrayRaisesTheFlagForGood) {
    for (std::size_t k : {std::size_t{0}, std::size_t{1500}, kComplexLength - 1}) {
        for (int array = 0; array < 2; ++array) {
            TestRunStateRecord local;
            ComplexMathPass(arrays->x, arrays->y);
            ComplexMathPass(arrays->x2, arrays->y2);
            double* second = array == 0 ? arrays->x2 : arrays->y2;
            second[k] = std::nextafter(second[k], 100.0);
            ComplexMathCompare(*arrays, local.complexMathError);
            EXPECT_TRUE(local.complexMathError.load()) << "element " << k << " array " << array;
            ComplexMathCycle(*arrays, local.complexMathError);
            EXPECT_TRUE(local.complexMathError.load()) << "a clean cycle keeps it raised";
        }
    }
}

TEST_F(ComplexMath, BothPassesReallyCallTheLibrary) {
    ComplexMathCycle(*arrays, state.complexMathError);
    EXPECT_EQ(CallLog::Get().sin, 6000);
    EXPECT_EQ(CallLog::Get().cos, 6000);
    EXPECT_EQ(CallLog::Get().total(), 12000);
}

TEST_F(ComplexMath, StopAtEntryComputesNothing) {
    state.stopRequested = true;
    EXPECT_EQ(RunComplexMath(*arrays, state), 0u);
    EXPECT_EQ(CallLog::Get().total(), 0);
}

TEST_F(ComplexMath, StopDuringACycleLetsTheCycleAndItsComparisonFinish) {
    // Stop arrives during the first pass; a fault hits the second pass later.
    CallLog& log = CallLog::Get();
    log.hookAt = 100;
    log.hook = [&](double&) { state.stopRequested = true; };
    EXPECT_EQ(RunComplexMath(*arrays, state), 1u);
    EXPECT_EQ(log.total(), 12000);

    CallLog::Reset();
    state.stopRequested = false;
    CallLog::Get().hookAt = 9000;  // inside the second pass
    CallLog::Get().hook = [&](double& v) {
        v += 1.0;
        state.stopRequested = true;
    };
    EXPECT_EQ(RunComplexMath(*arrays, state), 1u);
    EXPECT_TRUE(state.complexMathError.load()) << "the comparison ran after the stop";
}

TEST_F(ComplexMath, ManyCyclesOnSoundHardwareRaiseNothing) {
    for (int i = 0; i < 300; ++i) ComplexMathCycle(*arrays, state.complexMathError);
    EXPECT_FALSE(state.complexMathError.load());
}

TEST(ComplexMathWorkerRoutine, ReturnsZeroAtOnceWhenStopIsAlreadyRequested) {
    TestRunState.stopRequested = true;
    EXPECT_EQ(ComplexMathWorker(nullptr), 0u);
    EXPECT_FALSE(TestRunState.complexMathError.load());
    TestRunState.stopRequested = false;
}

}  // namespace
