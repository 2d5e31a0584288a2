// quarrion-stress's command line: good forms parse, every bad one is named.
#include "tools/stress/options.h"

#include <gtest/gtest.h>

namespace {

StressOptions Parse(std::vector<std::string> args) {
    auto parsed = ParseArguments(args);
    EXPECT_TRUE(std::holds_alternative<StressOptions>(parsed))
        << std::get<UsageError>(parsed).message;
    return std::holds_alternative<StressOptions>(parsed) ? std::get<StressOptions>(parsed)
                                                         : StressOptions{};
}

TEST(StressOptions, DefaultsAreTheDialogsTableForAMinute) {
    const StressOptions o = Parse({});
    EXPECT_EQ(o.seconds, 60u);
    EXPECT_EQ(o.extraMatrix, -1);
    EXPECT_EQ(o.placement, Placement::Table);
    EXPECT_FALSE(o.stopOnError || o.quiet || o.selfTest || o.showHelp || o.showVersion);
}

TEST(StressOptions, EveryOptionParses) {
    StressOptions o = Parse({"--seconds", "0", "--extra-matrix", "64", "--stop-on-error", "--json",
                             "out.json", "--quiet"});
    EXPECT_EQ(o.seconds, 0u);
    EXPECT_EQ(o.extraMatrix, 64);
    EXPECT_TRUE(o.stopOnError && o.quiet);
    EXPECT_EQ(o.jsonPath, "out.json");
    EXPECT_EQ(Parse({"--all-cpus"}).placement, Placement::AllCpus);
    o = Parse({"--cycle-cores", "5"});
    EXPECT_EQ(o.placement, Placement::CycleCores);
    EXPECT_EQ(o.cycleSeconds, 5u);
    EXPECT_TRUE(Parse({"--self-test"}).selfTest);
    EXPECT_TRUE(Parse({}).crossCheck);
    EXPECT_FALSE(Parse({"--no-cross-check"}).crossCheck);
    o = Parse({"--expect-digest", "MatrixWorker=0x00ff", "--expect-digest",
               "ComplexMathWorker=FFFFFFFFFFFFFFFF"});
    using Digests = std::vector<std::pair<std::string, std::uint64_t>>;
    EXPECT_EQ(o.expectDigests,
              (Digests{{"MatrixWorker", 0xff}, {"ComplexMathWorker", ~std::uint64_t{0}}}));
    o = Parse({"--load", "matrix,memory", "--load", "matrix", "--isa", "avx2", "--list-loads"});
    EXPECT_EQ(o.loads, (std::vector<std::string>{"matrix", "memory", "matrix"}));
    EXPECT_EQ(o.isa, Isa::Avx2);
    EXPECT_TRUE(o.listLoads);
    EXPECT_EQ(Parse({"--load", "matrix", "--extra-matrix", "2"}).extraMatrix, 2);
    EXPECT_TRUE(Parse({}).loads.empty() && !Parse({}).isa);
    EXPECT_TRUE(Parse({"--version"}).showVersion);
    EXPECT_TRUE(Parse({"--help"}).showHelp);
}

TEST(StressOptions, BadInputIsRefusedWithTheArgumentNamed) {
    struct Case {
        std::vector<std::string> args;
        const char* named;
    };
    const Case cases[] = {
        {{"--seconds"}, "--seconds"},
        {{"--seconds", "-1"}, "-1"},
        {{"--seconds", "ten"}, "ten"},
        {{"--seconds", "1.5"}, "1.5"},
        {{"--seconds", ""}, "--seconds"},
        {{"--seconds", "99999999999999999999"}, "99999999999999999999"},
        {{"--extra-matrix", "65"}, "65"},
        {{"--extra-matrix"}, "--extra-matrix"},
        {{"--cycle-cores", "0"}, "0"},
        {{"--cycle-cores", "x"}, "x"},
        {{"--json"}, "--json"},
        {{"--json", ""}, "--json"},
        {{"--all-cpus", "--cycle-cores", "3"}, "exclude"},
        {{"--extra-matrix", "2", "--all-cpus"}, "exclude"},
        {{"--expect-digest"}, "--expect-digest"},
        {{"--expect-digest", "MatrixWorker"}, "MatrixWorker"},
        {{"--expect-digest", "MemoryWorker=12"}, "MemoryWorker=12"},
        {{"--expect-digest", "MatrixWorker=0x"}, "MatrixWorker=0x"},
        {{"--expect-digest", "MatrixWorker=12345678901234567"}, "12345678901234567"},
        {{"--expect-digest", "MatrixWorker=12g4"}, "12g4"},
        {{"--load"}, "--load"},
        {{"--load", "fft"}, "unknown load 'fft'; the loads are: matrix, memory, complex-math"},
        {{"--load", "matrix,,memory"}, "unknown load ''"},
        {{"--load", "MatrixWorker"}, "'MatrixWorker'"},
        {{"--load", "memory", "--extra-matrix", "1"}, "--load has no matrix"},
        {{"--isa"}, "--isa"},
        {{"--isa", "avx"}, "'avx' is not one of avx512, avx2, sse2"},
        {{"--isa", "base"}, "'base'"},
        {{"--expect-digest", "matrix=12"}, "one of MatrixWorker, ComplexMathWorker"},
        {{"--bogus"}, "--bogus"},
        {{"60"}, "60"},
    };
    for (const Case& c : cases) {
        auto parsed = ParseArguments(c.args);
        ASSERT_TRUE(std::holds_alternative<UsageError>(parsed)) << c.args.front();
        const std::string& message = std::get<UsageError>(parsed).message;
        EXPECT_NE(message.find(c.named), std::string::npos) << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << "one line: " << message;
    }
}

}  // namespace
