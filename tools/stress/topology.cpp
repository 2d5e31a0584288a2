// Leaf 0xB numbers each thread with an x2APIC id whose low bits select the
// thread within its core and the next bits the core within its package.
#include "tools/stress/topology.h"

#include <cpuid.h>

#include <algorithm>
#include <thread>

#include "tools/stress/platform.h"

namespace {

bool HasLeafB(const ApicLeaves& leaves) {
    // Sub-leaf 0 must report at least one thread, or the leaf is not there.
    return leaves.maxLeaf >= 0xB && (leaves.leafB0Ebx & 0xFFFF) != 0;
}

ApicLeaves QueryApicLeaves() {
    ApicLeaves leaves;
    unsigned a = 0, b = 0, c = 0, d = 0;
    leaves.maxLeaf = __get_cpuid_max(0, nullptr);
    if (leaves.maxLeaf >= 1 && __get_cpuid(1, &a, &b, &c, &d)) leaves.leaf1Ebx = b;
    if (leaves.maxLeaf >= 0xB) {
        __cpuid_count(0xB, 0, a, b, c, d);
        leaves.leafB0Eax = a;
        leaves.leafB0Ebx = b;
        leaves.leafB0Edx = d;
        __cpuid_count(0xB, 1, a, b, c, d);
        leaves.leafB1Eax = a;
        leaves.leafB1Ecx = c;
    }
    return leaves;
}

}  // namespace

const ProcessorPlace* Topology::Find(int processor) const {
    for (const ProcessorPlace& place : places_)
        if (place.processor == processor) return &place;
    return nullptr;
}

std::vector<int> Topology::Sharing(int processor, TopologyLevel level) const {
    const auto key = [level](const ProcessorPlace& p) {
        const int package = p.package;
        switch (level) {
            case TopologyLevel::Core:
                return p.core < 0 || package < 0 ? -1 : p.core;
            case TopologyLevel::Die:
                return p.die < 0 || package < 0 ? -1 : p.die;
            case TopologyLevel::Package:
                return package;
        }
        return -1;
    };
    const ProcessorPlace* self = Find(processor);
    if (!self || key(*self) < 0) return {processor};
    std::vector<int> sharing;
    for (const ProcessorPlace& p : places_)
        if (p.package == self->package && key(p) == key(*self)) sharing.push_back(p.processor);
    std::sort(sharing.begin(), sharing.end());
    return sharing;
}

std::uint32_t DecodeApicId(const ApicLeaves& leaves) {
    return HasLeafB(leaves) ? leaves.leafB0Edx : leaves.leaf1Ebx >> 24;
}

ProcessorPlace PlaceFromApic(int processor, const ApicLeaves& leaves) {
    ProcessorPlace place;
    place.processor = processor;
    place.apicId = DecodeApicId(leaves);
    if (!HasLeafB(leaves)) return place;
    const unsigned threadBits = leaves.leafB0Eax & 0x1F;
    // Sub-leaf 1 missing (level type 0): every thread of the package is one core's.
    const bool coreLevel = ((leaves.leafB1Ecx >> 8) & 0xFF) == 2;
    const unsigned packageBits = coreLevel ? leaves.leafB1Eax & 0x1F : threadBits;
    place.core = static_cast<int>(*place.apicId >> threadBits);
    place.package = static_cast<int>(*place.apicId >> packageBits);
    place.die = place.package;
    return place;
}

namespace {

// Whether two views group `processors` into the same cores and packages.
bool SameGrouping(const std::vector<int>& processors, const Topology& a, const Topology& b) {
    for (int p : processors)
        for (TopologyLevel level : {TopologyLevel::Core, TopologyLevel::Package})
            if (a.Sharing(p, level) != b.Sharing(p, level)) return false;
    return true;
}

// Why CPUID's view cannot be trusted on its own; empty when it can.
std::string ApicFault(const std::vector<int>& processors,
                      const std::vector<std::optional<ApicLeaves>>& leaves,
                      const std::vector<ProcessorPlace>& fromApic) {
    std::vector<std::uint32_t> ids;
    for (std::size_t i = 0; i < processors.size(); ++i) {
        const std::string who = "processor " + std::to_string(processors[i]);
        if (i >= leaves.size() || !leaves[i]) return "CPUID could not run on " + who;
        if (!HasLeafB(*leaves[i])) return "CPUID leaf 0xB is absent or zero on " + who;
        ids.push_back(*fromApic[i].apicId);
    }
    std::sort(ids.begin(), ids.end());
    if (std::adjacent_find(ids.begin(), ids.end()) != ids.end())
        return "CPUID gives two processors the same APIC id";
    return {};
}

}  // namespace

Topology Reconcile(const std::vector<int>& processors,
                   const std::vector<std::optional<ApicLeaves>>& leaves,
                   const std::vector<ProcessorPlace>& system) {
    std::vector<ProcessorPlace> fromApic;
    for (std::size_t i = 0; i < processors.size(); ++i) {
        ProcessorPlace place;
        place.processor = processors[i];
        if (i < leaves.size() && leaves[i]) place = PlaceFromApic(processors[i], *leaves[i]);
        fromApic.push_back(place);
    }
    std::string why = ApicFault(processors, leaves, fromApic);
    const bool systemKnows =
        system.size() == processors.size() && !system.empty() &&
        std::all_of(system.begin(), system.end(),
                    [](const ProcessorPlace& p) { return p.core >= 0 && p.package >= 0; });
    std::vector<ProcessorPlace> places;
    if (systemKnows) {
        places = system;
        for (ProcessorPlace& p : places) p.apicId.reset();
        if (why.empty() && !SameGrouping(processors, Topology(fromApic), Topology(places)))
            why = "CPUID's cores and packages disagree with the system's";
        if (why.empty())
            for (std::size_t i = 0; i < places.size(); ++i) places[i].apicId = fromApic[i].apicId;
    } else if (why.empty()) {
        places = fromApic;
    } else {
        for (int p : processors) {
            places.emplace_back();
            places.back().processor = p;
        }
    }
    return Topology(std::move(places), why);
}

std::vector<std::optional<ApicLeaves>> ReadApicLeaves(const std::vector<int>& processors) {
    std::vector<std::optional<ApicLeaves>> all(processors.size());
    for (std::size_t i = 0; i < processors.size(); ++i) {
        // A thread of its own, so the caller's affinity is never touched.
        std::thread probe([&all, &processors, i] {
            if (!PinCurrentThread(processors[i])) return;
            const int now = CurrentProcessor();
            if (now == -1 || now == processors[i]) all[i] = QueryApicLeaves();
        });
        probe.join();
    }
    return all;
}
