// The 64-bit digest of a routine's reference results: XXH3 over their bytes, so
// that machines of one build can compare what their cores computed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/cycle_verdict.h"

std::uint64_t ResultsDigest(const double* values, std::size_t count);
// The same digest over a pass's arrays, taken one after the other: equal to
// ResultsDigest over the arrays stored end to end.
std::uint64_t ResultsDigest(const PassResults& results);
