// The rule by which a compute worker compares its two passes: the stored doubles
// must agree bit for bit. A NaN where the other pass has a number, or a zero of
// the other sign, is a mismatch; identical bit patterns (identical NaNs) are not.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

inline std::uint64_t DoubleBits(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Compares all pairs, without early exit; every mismatching pair raises the flag.
// Out of line, so that the comparison can never be resolved at build time.
void CompareResults(const double* first, const double* second, std::size_t count,
                    std::atomic<bool>& errorFlag);
