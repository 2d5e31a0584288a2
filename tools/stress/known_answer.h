// Known answers. A load whose results every sound core computes alike, in every
// cycle and with every instruction set, carries their digest; a pass is judged
// against it, and where it differs the expected values come from a reference
// instance of the load run once here, so the error names its element.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/cycle_verdict.h"
#include "tools/stress/load.h"

// The narrowest instruction set the load and the machine share: the portable
// variant a reference is computed with. Base when they share none.
Isa ReferenceIsa(unsigned loadIsas, unsigned machineIsas);

// The load's known results, computed through one cycle of a fresh instance for
// `isa` and stored array after array in `known`. False when the instance cannot
// be had or does not reproduce the known digest on this core either.
bool ComputeKnownResults(const LoadDescriptor& load, Isa isa, std::vector<double>& known);

struct KnownAnswerJudgement {
    std::uint64_t digest = 0;  // of the pass judged
    // Against the known results: the first differing element; no element when
    // the known results could not be had here.
    CycleVerdict verdict;
};

// Empty when the load has no known answer or the pass has the known digest.
// `known` caches the known results between calls (empty until first needed).
std::optional<KnownAnswerJudgement> JudgeKnownAnswer(const LoadDescriptor& load, Isa referenceIsa,
                                                     const PassResults& pass,
                                                     std::vector<double>& known);
