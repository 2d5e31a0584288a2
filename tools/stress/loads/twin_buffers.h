// Both copies' results of one worker's load, in the descriptor's layout, and
// the engine's bitwise comparison between them.
#pragma once

#include <vector>

#include "engine/cycle_verdict.h"

namespace vload {

class TwinBuffers {
public:
    explicit TwinBuffers(const PassResults& layout);
    TwinBuffers(const TwinBuffers&) = delete;
    TwinBuffers& operator=(const TwinBuffers&) = delete;

    double* First() { return first_; }
    double* Second() { return second_; }
    PassResults FirstPass() const { return ResultsIn(first_, layout_); }
    // Applies the test seam's fault, then compares the second copy with the first.
    CycleVerdict Verdict(const CycleFault& fault);

private:
    PassResults layout_;
    std::vector<double> storage_;  // both copies, each on its own cache lines
    double* first_ = nullptr;      // into storage_
    double* second_ = nullptr;     // into storage_
};

}  // namespace vload
