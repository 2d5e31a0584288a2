// The live topology: hwloc knows the cores, dies and packages on every system
// it supports (including dies, which CPUID leaf 0xB cannot tell); the APIC ids
// come from CPUID on each processor either way.
#include "tools/stress/topology.h"

#ifdef QUARRION_HAVE_HWLOC
#include <hwloc.h>
#endif

namespace {

#ifdef QUARRION_HAVE_HWLOC
// One loaded hwloc topology, destroyed with its owner.
class HwlocTopology {
public:
    HwlocTopology() {
        if (hwloc_topology_init(&topology_) != 0) {
            topology_ = nullptr;
            return;
        }
        if (hwloc_topology_load(topology_) != 0) {
            hwloc_topology_destroy(topology_);
            topology_ = nullptr;
        }
    }
    ~HwlocTopology() {
        if (topology_) hwloc_topology_destroy(topology_);
    }
    HwlocTopology(const HwlocTopology&) = delete;
    HwlocTopology& operator=(const HwlocTopology&) = delete;

    // Core, die and package of one processor; false when hwloc does not know it.
    bool Place(ProcessorPlace& place) const {
        if (!topology_) return false;
        const hwloc_obj_t pu =
            hwloc_get_pu_obj_by_os_index(topology_, static_cast<unsigned>(place.processor));
        if (!pu) return false;
        place.core = Index(HWLOC_OBJ_CORE, pu);
        place.package = Index(HWLOC_OBJ_PACKAGE, pu);
        // A single-die package has no die object of its own.
        place.die = Index(HWLOC_OBJ_DIE, pu);
        if (place.die < 0) place.die = place.package;
        return true;
    }

private:
    int Index(hwloc_obj_type_t type, hwloc_obj_t pu) const {
        const hwloc_obj_t above = hwloc_get_ancestor_obj_by_type(topology_, type, pu);
        return above ? static_cast<int>(above->logical_index) : -1;
    }

    hwloc_topology_t topology_ = nullptr;
};
#endif

}  // namespace

Topology ReadTopology(const std::vector<int>& processors) {
    const std::vector<std::optional<ApicLeaves>> leaves = ReadApicLeaves(processors);
#ifdef QUARRION_HAVE_HWLOC
    const HwlocTopology hwloc;
#endif
    std::vector<ProcessorPlace> places;
    for (std::size_t i = 0; i < processors.size(); ++i) {
        ProcessorPlace place;
        place.processor = processors[i];
        if (leaves[i]) place = PlaceFromApic(processors[i], *leaves[i]);
#ifdef QUARRION_HAVE_HWLOC
        ProcessorPlace fromHwloc = place;
        if (hwloc.Place(fromHwloc)) place = fromHwloc;
#endif
        places.push_back(place);
    }
    return Topology(std::move(places));
}
