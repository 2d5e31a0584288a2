// The 64-bit digest of a routine's reference results: XXH3 over their bytes, so
// that machines of one build can compare what their cores computed.
#pragma once

#include <cstddef>
#include <cstdint>

std::uint64_t ResultsDigest(const double* values, std::size_t count);
