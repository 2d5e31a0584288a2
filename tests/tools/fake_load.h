// A load for tests: eight doubles per copy, the same in every cycle, computed
// twice and compared through the engine's rule, with a known digest the test
// sets. Fast enough that a run's workers pass many cycles in a few ticks.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/cycle_verdict.h"
#include "tools/stress/digest.h"
#include "tools/stress/load.h"
#include "tools/stress/registry.h"

namespace fake_load {

constexpr std::size_t kLength = 8;
constexpr PassResults kLayout{{}, 2, 0, kLength / 2};  // arrays "0" and "1" of four each
constexpr double kFlopsPerCycle = 32;

// The sound values; element k of the whole pass.
inline double Sound(std::size_t k) {
    return 1.0 / static_cast<double>(k + 3);
}

class Instance : public LoadInstance {
public:
    CycleVerdict RunCycle(std::uint64_t, CycleFault fault) override {
        for (std::size_t k = 0; k < kLength; ++k) first_[k] = second_[k] = Sound(k);
        double* const first[] = {first_, first_ + kLength / 2};
        double* const second[] = {second_, second_ + kLength / 2};
        if (fault.corrupt && fault.bothPasses) fault.corrupt(first, 2);
        if (fault.corrupt) fault.corrupt(second, 2);
        return CompareResultsWith(ResultsIn(first_, kLayout), ResultsIn(second_, kLayout));
    }
    PassResults FirstPass() const override { return ResultsIn(first_, kLayout); }

private:
    double first_[kLength] = {};
    double second_[kLength] = {};
};

inline std::unique_ptr<LoadInstance> Make(Isa) {
    return std::make_unique<Instance>();
}

inline std::uint64_t SoundDigest() {
    double values[kLength];
    for (std::size_t k = 0; k < kLength; ++k) values[k] = Sound(k);
    return ResultsDigest(values, kLength);
}

// Built for every instruction set, so --isa applies to it; the test decides
// its known digest.
inline LoadDescriptor Descriptor(std::uint64_t knownDigest) {
    const unsigned all =
        IsaBit(Isa::Base) | IsaBit(Isa::Sse2) | IsaBit(Isa::Avx2) | IsaBit(Isa::Avx512);
    return {"fake", "a test load", kLayout, kFlopsPerCycle, all, knownDigest, Make};
}

// The program's registry with the fake load after it.
inline LoadRegistry WithFake(const LoadDescriptor& fake) {
    LoadRegistry registry = Registry();
    registry.push_back({&fake, nullptr});
    return registry;
}

}  // namespace fake_load
