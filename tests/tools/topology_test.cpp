// Which processors share a core, a die and a package, from injected places and
// CPUID answers, and the live reading on this machine.
#include "tools/stress/topology.h"

#include <gtest/gtest.h>

#include <set>

#include "tools/stress/platform.h"

namespace {

using L = TopologyLevel;

// Two packages of two cores with two threads each; package 1 has two dies.
Topology TwoPackages() {
    return Topology({{0, 0, 0, 0, 0x0},
                     {1, 1, 0, 0, 0x2},
                     {2, 2, 1, 1, 0x10},
                     {3, 3, 2, 1, 0x12},
                     {4, 0, 0, 0, 0x1},
                     {5, 1, 0, 0, 0x3},
                     {6, 2, 1, 1, 0x11},
                     {7, 3, 2, 1, 0x13},
                     {8, -1, -1, -1, std::nullopt}});
}

TEST(Topology, SiblingsShareTheirCoreDieAndPackage) {
    const struct {
        int processor;
        TopologyLevel level;
        std::vector<int> sharing;
    } cases[] = {
        {0, L::Core, {0, 4}},          {5, L::Core, {1, 5}}, {3, L::Core, {3, 7}},
        {0, L::Die, {0, 1, 4, 5}},     {2, L::Die, {2, 6}},  {7, L::Die, {3, 7}},
        {6, L::Package, {2, 3, 6, 7}}, {8, L::Core, {8}},    {8, L::Package, {8}},
        {42, L::Package, {42}},
    };
    const Topology topology = TwoPackages();
    for (const auto& c : cases)
        EXPECT_EQ(topology.Sharing(c.processor, c.level), c.sharing)
            << c.processor << " " << static_cast<int>(c.level);
}

TEST(Topology, PlacesFromApicIds) {
    const struct {
        ApicLeaves leaves;
        std::uint32_t apic;
        int core, package;
    } cases[] = {
        // Leaf 0xB: one thread bit, four more core bits, x2APIC id 0x13.
        {{0xD, 0x05000000, 1, 2, 0x13, 5, 0x0201}, 0x13, 0x9, 0x0},
        {{0xD, 0x05000000, 1, 2, 0x35, 5, 0x0201}, 0x35, 0x1A, 0x1},
        // No threads per core: the id is the core.
        {{0x10, 0, 0, 1, 0x7, 3, 0x0201}, 0x7, 0x7, 0x0},
        // Leaf 0xB present but without a core level: a package of one core.
        {{0xD, 0, 1, 2, 0x3, 0, 0}, 0x3, 0x1, 0x1},
        // Sub-leaf 1 of another level than cores is not taken for one.
        {{0xD, 0, 1, 2, 0x3, 5, 0x0501}, 0x3, 0x1, 0x1},
        // As this build machine's hypervisor answers for its second processor.
        {{0x10, 0x01000000, 0, 1, 0x1, 5, 0x0201}, 0x1, 0x1, 0x0},
        // No leaf 0xB (or sub-leaf 0 empty): leaf 1's 8-bit id, place unknown.
        {{0xA, 0x05000000, 0, 0, 0, 0, 0}, 0x5, -1, -1},
        {{0xD, 0x06000000, 1, 0, 0x99, 5, 0x0201}, 0x6, -1, -1},
    };
    for (const auto& c : cases) {
        const ProcessorPlace place = PlaceFromApic(4, c.leaves);
        EXPECT_EQ(DecodeApicId(c.leaves), c.apic);
        EXPECT_EQ(place.apicId, c.apic);
        EXPECT_EQ(place.core, c.core) << c.apic;
        EXPECT_EQ(place.package, c.package) << c.apic;
        EXPECT_EQ(place.die, c.package) << c.apic;
        EXPECT_EQ(place.processor, 4);
    }
}

TEST(Topology, EveryUsableProcessorHasItsOwnApicId) {
    const std::vector<int> processors = UsableProcessors();
    const Topology topology = ReadTopology(processors);
    ASSERT_EQ(topology.Places().size(), processors.size());
    std::set<std::uint32_t> ids;
    for (const ProcessorPlace& place : topology.Places()) {
        ASSERT_TRUE(place.apicId.has_value()) << place.processor;
        ids.insert(*place.apicId);
        EXPECT_GE(place.core, 0) << place.processor;
        EXPECT_GE(place.package, 0) << place.processor;
        const std::vector<int> core = topology.Sharing(place.processor, TopologyLevel::Core);
        EXPECT_NE(std::find(core.begin(), core.end(), place.processor), core.end());
    }
    EXPECT_EQ(ids.size(), processors.size());
}

// Two independent sources, hwloc (where built in) and the APIC ids' fields,
// must agree on which processors share a core and a package.
TEST(Topology, ApicFieldsAgreeWithTheSystemsTopology) {
    const std::vector<int> processors = UsableProcessors();
    const Topology live = ReadTopology(processors);
    const std::vector<std::optional<ApicLeaves>> leaves = ReadApicLeaves(processors);
    std::vector<ProcessorPlace> fromApic;
    for (std::size_t i = 0; i < processors.size(); ++i) {
        ASSERT_TRUE(leaves[i].has_value()) << processors[i];
        fromApic.push_back(PlaceFromApic(processors[i], *leaves[i]));
    }
    const Topology apic(fromApic);
    for (int p : processors) {
        for (TopologyLevel level : {TopologyLevel::Core, TopologyLevel::Package})
            EXPECT_EQ(apic.Sharing(p, level), live.Sharing(p, level))
                << p << " " << static_cast<int>(level);
    }
}

}  // namespace
