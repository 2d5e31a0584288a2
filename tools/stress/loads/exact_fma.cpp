// a*b + c rounded once, to nearest even, in integer arithmetic only: the
// library's fma is not correctly rounded everywhere (the 32-bit Windows
// runtime's is not), and the 32-bit build's x87 arithmetic rounds twice.
#include <cmath>
#include <cstring>
#include <utility>

#include "tools/stress/loads/lane_plan.h"

namespace vload {
namespace {

struct Wide {  // a 128-bit magnitude
    std::uint64_t hi = 0, lo = 0;
};

bool IsZero(const Wide& w) {
    return (w.hi | w.lo) == 0;
}

int TopBit(const Wide& w) {  // -1 for zero
    if (w.hi) return 127 - __builtin_clzll(w.hi);
    return w.lo ? 63 - __builtin_clzll(w.lo) : -1;
}

Wide ShiftLeft(const Wide& w, int n) {
    if (n == 0) return w;
    if (n >= 64) return {w.lo << (n - 64), 0};
    return {(w.hi << n) | (w.lo >> (64 - n)), w.lo << n};
}

// Shifts right and folds every bit shifted out into bit 0, so rounding still
// sees that something was there.
Wide ShiftRightSticky(const Wide& w, int n) {
    if (n == 0) return w;
    if (n >= 128) return {0, IsZero(w) ? 0u : 1u};
    Wide out;
    std::uint64_t lost = 0;
    if (n >= 64) {
        lost = w.lo | (n > 64 ? w.hi << (128 - n) : 0);
        out = {0, n == 64 ? w.hi : w.hi >> (n - 64)};
    } else {
        lost = w.lo << (64 - n);
        out = {w.hi >> n, (w.lo >> n) | (w.hi << (64 - n))};
    }
    out.lo |= lost != 0;
    return out;
}

bool Less(const Wide& a, const Wide& b) {
    return a.hi < b.hi || (a.hi == b.hi && a.lo < b.lo);
}

Wide Add(const Wide& a, const Wide& b) {
    const std::uint64_t lo = a.lo + b.lo;
    return {a.hi + b.hi + (lo < a.lo), lo};
}

Wide Subtract(const Wide& a, const Wide& b) {  // a >= b
    return {a.hi - b.hi - (a.lo < b.lo), a.lo - b.lo};
}

Wide Multiply(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
    const std::uint64_t low = a0 * b0, mid1 = a1 * b0, mid2 = a0 * b1, high = a1 * b1;
    const std::uint64_t carry = ((low >> 32) + (mid1 & 0xffffffffu) + (mid2 & 0xffffffffu)) >> 32;
    return {high + (mid1 >> 32) + (mid2 >> 32) + carry, low + (mid1 << 32) + (mid2 << 32)};
}

struct Decoded {
    bool negative;
    std::uint64_t mantissa;  // value = mantissa * 2^exponent
    int exponent;
};

Decoded Decode(double x) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    const int field = static_cast<int>((bits >> 52) & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (field == 0) return {(bits >> 63) != 0, fraction, -1074};
    return {(bits >> 63) != 0, fraction | (std::uint64_t{1} << 52), field - 1075};
}

// A magnitude placed so that its top bit is bit 125, leaving room for a carry.
struct Term {
    bool negative;
    Wide magnitude;
    int exponent;  // of bit 0
};

Term Placed(bool negative, const Wide& m, int exponent) {
    const int shift = 125 - TopBit(m);
    return {negative, ShiftLeft(m, shift), exponent - shift};
}

Wide ShiftRight(const Wide& w, int n) {
    if (n == 0) return w;
    if (n >= 128) return {};
    if (n >= 64) return {0, w.hi >> (n - 64)};
    return {w.hi >> n, (w.lo >> n) | (w.hi << (64 - n))};
}

// Keeps 53 bits (fewer below the normal range) and rounds the rest to nearest,
// ties to even.
double Assemble(bool negative, const Wide& sum, int exponent) {
    int shift = TopBit(sum) - 52;
    if (exponent + shift < -1074) shift = -1074 - exponent;
    std::uint64_t mantissa = 0;
    if (shift <= 0) {
        mantissa = ShiftLeft(sum, -shift).lo;
    } else if (shift < 128) {
        const Wide kept = ShiftRight(sum, shift);
        const Wide rest = Subtract(sum, ShiftLeft(kept, shift));
        const Wide half = ShiftLeft(Wide{0, 1}, shift - 1);
        const bool up = Less(half, rest) || (!Less(rest, half) && (kept.lo & 1));
        mantissa = kept.lo + (up ? 1 : 0);
    }
    int lsbExponent = exponent + shift;
    if (mantissa >> 53) {  // rounding carried into a new top bit
        mantissa >>= 1;
        ++lsbExponent;
    }
    std::uint64_t bits = mantissa;  // below the normal range the field stays zero
    if (mantissa >> 52) {
        const int field = lsbExponent + 1075;
        if (field >= 0x7ff) return negative ? -HUGE_VAL : HUGE_VAL;
        bits =
            (static_cast<std::uint64_t>(field) << 52) | (mantissa & ((std::uint64_t{1} << 52) - 1));
    }
    bits |= static_cast<std::uint64_t>(negative) << 63;
    double out = 0;
    std::memcpy(&out, &bits, sizeof out);
    return out;
}

}  // namespace

double ExactFma(double a, double b, double c) {
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c)) return a * b + c;
    const Decoded x = Decode(a), y = Decode(b), z = Decode(c);
    const Wide product = Multiply(x.mantissa, y.mantissa);
    const bool productNegative = x.negative != y.negative;
    if (IsZero(product)) {
        // 0 + c is c; two zeros sum to -0 only when both are negative.
        if (z.mantissa != 0) return c;
        return productNegative && z.negative ? -0.0 : 0.0;
    }
    Term p = Placed(productNegative, product, x.exponent + y.exponent);
    if (z.mantissa == 0) return Assemble(p.negative, p.magnitude, p.exponent);
    Term q = Placed(z.negative, Wide{0, z.mantissa}, z.exponent);
    if (q.exponent > p.exponent || (q.exponent == p.exponent && Less(p.magnitude, q.magnitude)))
        std::swap(p, q);  // p is the larger in magnitude
    const Wide smaller = ShiftRightSticky(q.magnitude, p.exponent - q.exponent);
    if (p.negative == q.negative)
        return Assemble(p.negative, Add(p.magnitude, smaller), p.exponent);
    const Wide difference = Subtract(p.magnitude, smaller);
    if (IsZero(difference)) return 0.0;
    return Assemble(p.negative, difference, p.exponent);
}

}  // namespace vload
