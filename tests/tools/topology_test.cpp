// Which processors share a core, a die and a package, from injected places and
// CPUID answers, and the live reading on this machine.
#include "tools/stress/topology.h"

#include <gtest/gtest.h>

#include <cstdio>
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

// Leaf 0xB answers for one thread per core: the x2APIC id is the core number.
ApicLeaves LeafB(std::uint32_t id) { return {0x10, id << 24, 0, 1, id, 8, 0x0201}; }
ApicLeaves NoLeafB(std::uint32_t id) { return {0x10, id << 24, 0, 0, 0, 0, 0}; }

TEST(Topology, ApicIdsAreKeptOnlyWhereTheyAgreeWithTheSystem) {
    using Leaves = std::vector<std::optional<ApicLeaves>>;
    const std::vector<int> processors{0, 1};
    // The system: two cores in one package.
    const std::vector<ProcessorPlace> system{{0, 0, 0, 0, std::nullopt}, {1, 1, 0, 0, std::nullopt}};
    const struct {
        const char* what;
        Leaves leaves;
        std::vector<ProcessorPlace> system;
        std::vector<std::optional<std::uint32_t>> apic;
        std::vector<int> packageOf0;
        bool why;
    } cases[] = {
        {"agreeing", {LeafB(0), LeafB(1)}, system, {0u, 1u}, {0, 1}, false},
        // As this kind of VM answers: leaf 0xB zero, leaf 1 ids of the hypervisor's making.
        {"leaf 0xB zero", {NoLeafB(104), NoLeafB(74)}, system, {}, {0, 1}, true},
        // Ids 0 and 0x100 put the two cores into two packages.
        {"two packages", {LeafB(0), LeafB(0x100)}, system, {}, {0, 1}, true},
        {"one id twice", {LeafB(3), LeafB(3)}, system, {}, {0, 1}, true},
        {"CPUID refused", {LeafB(0), std::nullopt}, system, {}, {0, 1}, true},
        {"no system view", {LeafB(0), LeafB(0x100)}, {}, {0u, 0x100u}, {0}, false},
        {"neither view", {NoLeafB(104), NoLeafB(74)}, {}, {}, {0}, true},
    };
    for (const auto& c : cases) {
        const Topology t = Reconcile(processors, c.leaves, c.system);
        ASSERT_EQ(t.Places().size(), 2u) << c.what;
        for (std::size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(t.Places()[i].processor, processors[i]) << c.what;
            EXPECT_EQ(t.Places()[i].apicId, c.apic.empty() ? std::nullopt : c.apic[i]) << c.what;
        }
        EXPECT_EQ(t.Sharing(0, TopologyLevel::Package), c.packageOf0) << c.what;
        EXPECT_EQ(t.ApicUnknownWhy().empty(), !c.why) << c.what << ": " << t.ApicUnknownWhy();
    }
}

// On this machine, whatever it is: the places are the system's where it has a
// view, and an APIC id shown groups processors as the system does.
TEST(Topology, TheLiveViewKeepsOnlyApicIdsThatHold) {
    const std::vector<int> processors = UsableProcessors();
    const Topology live = ReadTopology(processors);
    ASSERT_EQ(live.Places().size(), processors.size());
    const std::vector<ProcessorPlace> system = SystemPlaces(processors);
    if (system.empty()) {
        std::printf("skipped: the system gives no topology to compare with\n");
    } else {
        const Topology view(system);
        for (int p : processors)
            for (TopologyLevel level : {TopologyLevel::Core, TopologyLevel::Package})
                EXPECT_EQ(live.Sharing(p, level), view.Sharing(p, level)) << p;
    }
    if (!live.ApicUnknownWhy().empty()) {
        std::printf("skipped: APIC ids unknown here (%s)\n", live.ApicUnknownWhy().c_str());
        for (const ProcessorPlace& place : live.Places()) EXPECT_FALSE(place.apicId) << place.processor;
        return;
    }
    const std::vector<std::optional<ApicLeaves>> leaves = ReadApicLeaves(processors);
    std::vector<ProcessorPlace> fromApic;
    std::set<std::uint32_t> ids;
    for (std::size_t i = 0; i < processors.size(); ++i) {
        ASSERT_TRUE(leaves[i].has_value()) << processors[i];
        fromApic.push_back(PlaceFromApic(processors[i], *leaves[i]));
        ASSERT_TRUE(live.Places()[i].apicId) << processors[i];
        ids.insert(*live.Places()[i].apicId);
    }
    EXPECT_EQ(ids.size(), processors.size());
    const Topology apic(fromApic);
    for (int p : processors)
        for (TopologyLevel level : {TopologyLevel::Core, TopologyLevel::Package})
            EXPECT_EQ(apic.Sharing(p, level), live.Sharing(p, level)) << p;
}

}  // namespace
