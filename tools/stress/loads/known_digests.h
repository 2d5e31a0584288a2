// The digests every sound core computes for the vector loads, in every cycle and
// with every instruction set: XXH3 of the results in layout order. A test
// recomputes each from the portable reference and from every variant it can run.
#pragma once

#include <cstdint>

namespace vload {

constexpr std::uint64_t kFmaDigest = 0x67b505d88a953db8;
constexpr std::uint64_t kFmaAddDigest = 0xde1a3aaba37f047e;
constexpr std::uint64_t kCacheDigest = 0x4bf7361f7e27dbb6;
constexpr std::uint64_t kIntDigest = 0xa7d3a4a713206151;

}  // namespace vload
