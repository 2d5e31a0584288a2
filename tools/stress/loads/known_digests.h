// The digests every sound core computes for the vector loads, in every cycle and
// with every instruction set: XXH3 of the results in layout order. A test
// recomputes each from the portable reference and from every variant it can run.
#pragma once

#include <cstdint>

namespace vload {

constexpr std::uint64_t kFmaDigest = 0xbe0d3f27b9159575;
constexpr std::uint64_t kFmaAddDigest = 0x79b26cb89027fa44;
constexpr std::uint64_t kCacheDigest = 0xf118f62e3dc72ff7;
constexpr std::uint64_t kIntDigest = 0xa7d3a4a713206151;

}  // namespace vload
