// A CPUID source for tests: answers from a table of leaves, records the leaves
// asked and notices any question that executes CPUID before presence was confirmed.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "cpu/cpuid_source.h"

// The handful of values the probe's rules look at.
struct ProcessorModel {
    bool cpuid = true;
    std::uint32_t signature = 0;    // leaf 1 EAX
    std::uint32_t standard = 0;     // leaf 1 EDX
    std::uint32_t maxStandard = 1;  // leaf 0 EAX
    std::uint32_t maxExtended = 0;  // leaf 0x80000000 EAX
    std::uint32_t extended = 0;     // leaf 0x80000001 EDX
};

class FakeCpuid : public CpuidSource {
public:
    explicit FakeCpuid(const ProcessorModel& model = {}) : present(model.cpuid) {
        leaves[0].eax = model.maxStandard;
        leaves[1].eax = model.signature;
        leaves[1].edx = model.standard;
        leaves[0x80000000u].eax = model.maxExtended;
        leaves[0x80000001u].edx = model.extended;
    }

    std::uint32_t Supported() override {
        ++supportedCalls;
        if (present) confirmed_ = true;
        return present ? 0x200000u : 0u;
    }

    CpuidRegisters Query(std::uint32_t leaf) override {
        asked.push_back(leaf);
        if (!confirmed_) ++queriesBeforeConfirmed;
        const auto found = leaves.find(leaf);
        return found == leaves.end() ? CpuidRegisters{} : found->second;
    }

    bool present;
    std::map<std::uint32_t, CpuidRegisters> leaves;
    std::vector<std::uint32_t> asked;
    int supportedCalls = 0;
    int queriesBeforeConfirmed = 0;

private:
    bool confirmed_ = false;  // Supported() has answered non-zero
};

// Puts a source in place for default-constructed probes; the one before returns
// at scope end, so a test may stand its own processor in for its fixture's.
class ScopedActiveCpuid {
public:
    explicit ScopedActiveCpuid(CpuidSource& source) : previous_(&ActiveCpuidSource()) {
        SetActiveCpuidSource(&source);
    }
    ~ScopedActiveCpuid() { SetActiveCpuidSource(previous_); }
    ScopedActiveCpuid(const ScopedActiveCpuid&) = delete;
    ScopedActiveCpuid& operator=(const ScopedActiveCpuid&) = delete;

private:
    CpuidSource* previous_;  // not owned
};
