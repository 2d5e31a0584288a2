// The live topology: hwloc knows the cores, dies and packages on every system
// it supports (including dies, which CPUID leaf 0xB cannot tell), Windows says
// which processors share a core and a package; the APIC ids come from CPUID on
// each processor and are kept where they agree with that.
#include "tools/stress/topology.h"

#ifdef QUARRION_HAVE_HWLOC
#include <hwloc.h>
#endif
#ifdef _WIN32
#include <windows.h>
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

#ifdef _WIN32
// The processors (bits of one group's affinity mask) under each core and package.
std::vector<ProcessorPlace> WindowsPlaces(const std::vector<int>& processors) {
    DWORD bytes = 0;
    ::GetLogicalProcessorInformation(nullptr, &bytes);
    std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> info(bytes / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
    if (info.empty() || !::GetLogicalProcessorInformation(info.data(), &bytes)) return {};
    std::vector<ProcessorPlace> places;
    for (int p : processors) {
        ProcessorPlace place;
        place.processor = p;
        int cores = 0, packages = 0;
        for (const SYSTEM_LOGICAL_PROCESSOR_INFORMATION& entry : info) {
            const bool has = p < static_cast<int>(8 * sizeof entry.ProcessorMask) &&
                             (entry.ProcessorMask & (ULONG_PTR{1} << p)) != 0;
            if (entry.Relationship == RelationProcessorCore) {
                if (has) place.core = cores;
                ++cores;
            } else if (entry.Relationship == RelationProcessorPackage) {
                if (has) place.package = packages;
                ++packages;
            }
        }
        place.die = place.package;
        places.push_back(place);
    }
    return places;
}
#endif

}  // namespace

std::vector<ProcessorPlace> SystemPlaces(const std::vector<int>& processors) {
#ifdef QUARRION_HAVE_HWLOC
    const HwlocTopology hwloc;
    std::vector<ProcessorPlace> places;
    for (int p : processors) {
        ProcessorPlace place;
        place.processor = p;
        if (!hwloc.Place(place)) return {};
        places.push_back(place);
    }
    return places;
#elif defined(_WIN32)
    return WindowsPlaces(processors);
#else
    (void)processors;
    return {};
#endif
}

Topology ReadTopology(const std::vector<int>& processors) {
    return Reconcile(processors, ReadApicLeaves(processors), SystemPlaces(processors));
}
