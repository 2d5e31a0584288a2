// The matrix worker: values, NaN pattern, library calls, comparison and stop.
#include "engine/matrix.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/engine/math_doubles.h"

namespace {

struct Matrix : ::testing::Test {
    std::unique_ptr<MatrixArrays> m = std::make_unique<MatrixArrays>();
    TestRunStateRecord state;
    void SetUp() override { CallLog::Reset(); }
};

void ExpectTenDigits(double actual, double expected) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * 5e-10) << "expected " << expected;
}

TEST_F(Matrix, ElementSevenIsFiniteAndIdenticalInBothPasses) {
    MatrixCycle(*m, state.matrixError);
    ExpectTenDigits(m->a[7], -2.865401333);
    ExpectTenDigits(m->b[7], -1.953422156);
    ExpectTenDigits(m->c[7], -0.3250051247);
    ExpectTenDigits(m->d[7], 55.21824617);
    EXPECT_EQ(DoubleBits(m->a[7]), DoubleBits(m->a2[7]));
    EXPECT_EQ(DoubleBits(m->d[7]), DoubleBits(m->d2[7]));
    EXPECT_FALSE(state.matrixError.load());
}

TEST_F(Matrix, NanPatternIsTheSameEveryPass) {
    MatrixCycle(*m, state.matrixError);
    const double* arrays[] = {m->a, m->b, m->c, m->d, m->a2, m->b2, m->c2, m->d2};
    for (const double* x : arrays) {
        EXPECT_TRUE(std::isnan(x[1]));
        EXPECT_TRUE(std::isnan(x[16]));
    }
    for (int pass = 0; pass < 2; ++pass) {
        const double* const* set = arrays + 4 * pass;
        int nan = 0, finite = 0;
        for (std::size_t k = 1; k < kMatrixLength; ++k) {
            int nansHere = 0;
            for (int i = 0; i < 4; ++i) nansHere += std::isnan(set[i][k]) ? 1 : 0;
            ASSERT_TRUE(nansHere == 0 || nansHere == 4) << "element " << k;
            (nansHere ? nan : finite)++;
        }
        EXPECT_EQ(nan, 7621);
        EXPECT_EQ(finite, 2378);
    }
    EXPECT_FALSE(state.matrixError.load()) << "NaN elements are never mismatches";
}

TEST_F(Matrix, ElementZeroIsNeverTouched) {
    const double marker = 12345.0;
    for (double* x : {m->a, m->b, m->c, m->d, m->a2, m->b2, m->c2, m->d2}) x[0] = marker;
    MatrixCycle(*m, state.matrixError);
    for (double* x : {m->a, m->b, m->c, m->d, m->a2, m->b2, m->c2, m->d2}) EXPECT_EQ(x[0], marker);
}

TEST_F(Matrix, EachElementCostsTwentyOneLibraryCallsInTheStatedOrder) {
    CallLog::Get().recordOrder = true;
    MatrixPass(m->a, m->b, m->c, m->d);
    const CallLog& log = CallLog::Get();
    const long n = kMatrixLength - 1;
    EXPECT_EQ(log.sin, 5 * n);
    EXPECT_EQ(log.cos, 3 * n);
    EXPECT_EQ(log.log, 5 * n);
    EXPECT_EQ(log.sqrt, 8 * n);
    // The first element of each step: start values, powers, logarithms.
    EXPECT_EQ(log.order.substr(0, 5), "sclss");
    EXPECT_EQ(log.order.substr(5 * n, 12), "qqqqsqsqcqcq");
    EXPECT_EQ(log.order.substr(17 * n, 4), "llll");

    CallLog::Reset();
    MatrixCycle(*m, state.matrixError);
    EXPECT_EQ(CallLog::Get().total(), 419958) << "both passes call the library";
}

TEST_F(Matrix, ACorruptedElementRaisesTheFlagForGood) {
    struct Case {
        const char* what;
        double (MatrixArrays::*array)[kMatrixLength];
        std::size_t k;
        double value;
    };
    const Case cases[] = {
        {"finite element changed in its last bit", &MatrixArrays::b2, 7, 0.0},
        {"NaN element turned into a number", &MatrixArrays::a2, 1, 0.5},
        {"last element of the last array", &MatrixArrays::d2, kMatrixLength - 1, 0.25},
    };
    for (const Case& c : cases) {
        TestRunStateRecord local;
        MatrixPass(m->a, m->b, m->c, m->d);
        MatrixPass(m->a2, m->b2, m->c2, m->d2);
        double& element = ((*m).*(c.array))[c.k];
        element = c.value != 0.0 ? c.value : std::nextafter(element, 1e9);
        MatrixCompare(*m, local.matrixError);
        EXPECT_TRUE(local.matrixError.load()) << c.what;
        MatrixCycle(*m, local.matrixError);
        EXPECT_TRUE(local.matrixError.load()) << c.what << ": a clean cycle keeps it raised";
    }
}

TEST_F(Matrix, StopAtEntryComputesNothing) {
    state.stopRequested = true;
    EXPECT_EQ(RunMatrix(*m, state), 0u);
    EXPECT_EQ(CallLog::Get().total(), 0);
}

TEST_F(Matrix, StopDuringACycleLetsBothPassesAndTheComparisonFinish) {
    CallLog& log = CallLog::Get();
    // The second pass's logarithm of element 7's P: a finite result, spoiled.
    log.hookAt = 209979 + 17 * 9999 + 4 * 6 + 1;
    log.hook = [&](double& v) {
        v = -v;
        state.stopRequested = true;
    };
    EXPECT_EQ(RunMatrix(*m, state), 1u);
    EXPECT_EQ(log.total(), 419958);
    EXPECT_TRUE(state.matrixError.load());
}

// Instances share nothing: three cycling at once (each past its third cycle
// while the others run) end with exactly the arrays one instance computes alone.
TEST(MatrixWorkers, ThreeInstancesCyclingTogetherComputeWhatOneComputesAlone) {
    auto alone = std::make_unique<MatrixArrays>();
    TestRunStateRecord aloneState;
    MatrixCycle(*alone, aloneState.matrixError);

    TestRunStateRecord state;
    constexpr int kInstances = 3;
    std::atomic<int> cycles[kInstances] = {};
    // Every instance exists before any thread starts: the vector never moves under them.
    std::vector<std::unique_ptr<MatrixArrays>> arrays;
    for (int i = 0; i < kInstances; ++i) arrays.push_back(std::make_unique<MatrixArrays>());
    std::vector<std::thread> threads;
    for (int i = 0; i < kInstances; ++i) {
        threads.emplace_back([&, i] {
            RunUntilStopped(state.stopRequested, [&] {
                MatrixCycle(*arrays[i], state.matrixError);
                ++cycles[i];
            });
        });
    }
    // Only a hang reaches the ceiling.
    const auto ceiling = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    auto allPastThree = [&] {
        for (const auto& c : cycles)
            if (c.load() < 3) return false;
        return true;
    };
    while (!allPastThree() && std::chrono::steady_clock::now() < ceiling)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    state.stopRequested = true;
    for (auto& t : threads) t.join();
    ASSERT_TRUE(allPastThree()) << "the instances did not cycle";
    EXPECT_FALSE(state.matrixError.load());
    for (int i = 0; i < kInstances; ++i) {
        SCOPED_TRACE("instance " + std::to_string(i + 1));
        EXPECT_EQ(std::memcmp(arrays[i].get(), alone.get(), sizeof(MatrixArrays)), 0);
    }
}

TEST(MatrixWorkerRoutine, ReturnsZeroAtOnceWhenStopIsAlreadyRequested) {
    TestRunState.stopRequested = true;
    EXPECT_EQ(MatrixWorker(nullptr), 0u);
    EXPECT_FALSE(TestRunState.matrixError.load());
    TestRunState.stopRequested = false;
}

}  // namespace
