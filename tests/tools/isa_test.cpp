// The choice of instruction set: widest shared, or exactly the forced one.
#include "tools/stress/isa.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned kAll =
    IsaBit(Isa::Base) | IsaBit(Isa::Sse2) | IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512);
constexpr unsigned kVector = IsaBit(Isa::Sse2) | IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512);
constexpr unsigned kUpToAvx2 = IsaBit(Isa::Base) | IsaBit(Isa::Sse2) | IsaBit(Isa::Avx2);

TEST(Isa, ChoosesTheWidestSharedOrTheForcedOne) {
    const struct {
        unsigned load, machine;
        std::optional<Isa> forced, chosen;
    } cases[] = {
        {kVector, kAll, std::nullopt, Isa::Avx512},
        {kVector, kUpToAvx2, std::nullopt, Isa::Avx2},
        {kVector, IsaBit(Isa::Base), std::nullopt, std::nullopt},
        {IsaBit(Isa::Base), kAll, std::nullopt, Isa::Base},
        {kVector, kAll, Isa::Sse2, Isa::Sse2},
        {kVector, kUpToAvx2, Isa::Avx512, std::nullopt},
        {IsaBit(Isa::Base), kAll, Isa::Avx2, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseIsa(c.load, c.machine, c.forced), c.chosen) << c.load << " " << c.machine;
}

TEST(Isa, NamesParseBackAndTheMachineHasItsBase) {
    for (Isa isa : {Isa::Base, Isa::Sse2, Isa::Avx2, Isa::Avx512})
        EXPECT_EQ(ParseIsa(IsaName(isa)), isa);
    EXPECT_EQ(ParseIsa("avx"), std::nullopt);
    EXPECT_TRUE(MachineIsas() & IsaBit(Isa::Base));
}

}  // namespace
