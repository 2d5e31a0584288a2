// This test program's LibMath, linked in place of the engine's lib_math.cpp: the
// same library functions, noted in the calling thread's CallLog. The passes the
// program ships call these, so the tests count the calls that code really makes.
#include <cmath>

#include "engine/lib_math.h"
#include "tests/engine/math_doubles.h"

namespace {

double Note(long CallLog::*counter, char letter, double value) {
    CallLog& log = CallLog::Get();
    ++(log.*counter);
    if (log.recordOrder) log.order.push_back(letter);
    if (log.hook && log.total() == log.hookAt) log.hook(value);
    return value;
}

}  // namespace

double LibMath::Sin(double x) {
    return Note(&CallLog::sin, 's', std::sin(x));
}
double LibMath::Cos(double x) {
    return Note(&CallLog::cos, 'c', std::cos(x));
}
double LibMath::Log(double x) {
    return Note(&CallLog::log, 'l', std::log(x));
}
double LibMath::Sqrt(double x) {
    return Note(&CallLog::sqrt, 'q', std::sqrt(x));
}
