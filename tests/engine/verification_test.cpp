// The verification rule: bit-for-bit agreement of the two passes.
#include "engine/verification.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

bool Mismatches(double first, double second) {
    std::atomic<bool> flag{false};
    CompareResults(&first, &second, 1, flag);
    return flag.load();
}

TEST(Verification, DifferencesAFaultCanMakeAreMismatches) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(Mismatches(1.0, 1.0000000000000002)) << "last-bit difference";
    EXPECT_TRUE(Mismatches(nan, 2.5)) << "a number turned into NaN";
    EXPECT_TRUE(Mismatches(2.5, nan)) << "a NaN turned into a number";
    EXPECT_TRUE(Mismatches(0.0, -0.0)) << "sign of zero";
    EXPECT_TRUE(Mismatches(INFINITY, -INFINITY));
    EXPECT_TRUE(Mismatches(nan, -nan)) << "NaNs with different bits";
}

TEST(Verification, IdenticalBitPatternsAreNotMismatches) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(Mismatches(nan, nan));
    EXPECT_FALSE(Mismatches(-nan, -nan));
    EXPECT_FALSE(Mismatches(INFINITY, INFINITY));
    EXPECT_FALSE(Mismatches(-0.0, -0.0));
    EXPECT_FALSE(Mismatches(55.21824617, 55.21824617));
}

TEST(Verification, EveryPairIsComparedAndTheFlagOnlyRises) {
    std::vector<double> first(1000, 3.0), second(1000, 3.0);
    std::atomic<bool> flag{false};
    CompareResults(first.data(), second.data(), first.size(), flag);
    EXPECT_FALSE(flag.load());

    second.back() = 4.0;  // only the last pair differs: no early exit before it
    CompareResults(first.data(), second.data(), first.size(), flag);
    EXPECT_TRUE(flag.load());

    second.back() = 3.0;
    CompareResults(first.data(), second.data(), first.size(), flag);
    EXPECT_TRUE(flag.load()) << "a clean comparison never lowers the flag";
}

}  // namespace
