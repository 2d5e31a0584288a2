// Out-of-line calls into the C library's double-precision functions.
#include "engine/lib_math.h"

#include <cmath>

#define QUARRION_OPAQUE __attribute__((noinline, noipa))

QUARRION_OPAQUE double LibMath::Sin(double x) { return std::sin(x); }
QUARRION_OPAQUE double LibMath::Cos(double x) { return std::cos(x); }
QUARRION_OPAQUE double LibMath::Log(double x) { return std::log(x); }
QUARRION_OPAQUE double LibMath::Sqrt(double x) { return std::sqrt(x); }
