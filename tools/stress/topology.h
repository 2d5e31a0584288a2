// Where each logical processor sits: its core, die and package, and its APIC
// id, so an error names the physical place and siblings can be told apart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ProcessorPlace {
    int processor = -1;  // the operating system's number
    int core = -1;       // -1: unknown
    int die = -1;
    int package = -1;
    std::optional<std::uint32_t> apicId;
};

enum class TopologyLevel { Core, Die, Package };

class Topology {
public:
    Topology() = default;
    explicit Topology(std::vector<ProcessorPlace> places, std::string apicUnknownWhy = {})
        : places_(std::move(places)), apicUnknownWhy_(std::move(apicUnknownWhy)) {}

    const std::vector<ProcessorPlace>& Places() const { return places_; }
    // Why no APIC id is reported; empty when they are.
    const std::string& ApicUnknownWhy() const { return apicUnknownWhy_; }
    const ProcessorPlace* Find(int processor) const;
    // The processors sharing `level` with `processor`, itself included, in
    // order; just itself where the level is unknown.
    std::vector<int> Sharing(int processor, TopologyLevel level) const;

private:
    std::vector<ProcessorPlace> places_;
    std::string apicUnknownWhy_;
};

// The CPUID answers that place the processor that executes them.
struct ApicLeaves {
    std::uint32_t maxLeaf = 0;
    std::uint32_t leaf1Ebx = 0;
    // Leaf 0xB, sub-leaves 0 (threads of a core) and 1 (threads of a package;
    // ECX bits 15:8 name its level, 2 for cores).
    std::uint32_t leafB0Eax = 0, leafB0Ebx = 0, leafB0Edx = 0;
    std::uint32_t leafB1Eax = 0, leafB1Ecx = 0;
};

// The x2APIC id where leaf 0xB exists, else the initial 8-bit APIC id of leaf 1.
std::uint32_t DecodeApicId(const ApicLeaves& leaves);
// Core and package from the APIC id's fields (leaf 0xB's shift widths); the die
// is taken to be the package. Unknown (-1) without leaf 0xB.
ProcessorPlace PlaceFromApic(int processor, const ApicLeaves& leaves);

// CPUID executed on each of `processors` in turn (a helper thread pinned there).
// Empty for a processor that refuses the pinning.
std::vector<std::optional<ApicLeaves>> ReadApicLeaves(const std::vector<int>& processors);

// The system's own view (hwloc, or the operating system): core, die and package
// of each of `processors`, no APIC ids; empty where the system cannot tell.
std::vector<ProcessorPlace> SystemPlaces(const std::vector<int>& processors);

// Joins CPUID's view with the system's. Hypervisors answer leaf 0xB with zeros
// or with ids of their own making, so the places are the system's where it has
// them, and APIC ids are kept only where CPUID's topology is present, gives each
// processor its own id and groups cores and packages as the system does.
Topology Reconcile(const std::vector<int>& processors,
                   const std::vector<std::optional<ApicLeaves>>& leaves,
                   const std::vector<ProcessorPlace>& system);

// This machine's topology: Reconcile over CPUID run on each processor and the
// system's view.
Topology ReadTopology(const std::vector<int>& processors);
