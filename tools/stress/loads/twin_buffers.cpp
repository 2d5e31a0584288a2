// Each copy starts on a 64-byte boundary, so vector stores never split a line.
#include "tools/stress/loads/twin_buffers.h"

#include <cstdint>

namespace vload {
namespace {

constexpr std::size_t kLine = 64 / sizeof(double);

std::size_t RoundedUp(std::size_t n) {
    return (n + kLine - 1) / kLine * kLine;
}

}  // namespace

TwinBuffers::TwinBuffers(const PassResults& layout)
    : layout_(layout), storage_(2 * RoundedUp(layout.size()) + kLine) {
    const auto address = reinterpret_cast<std::uintptr_t>(storage_.data());
    const std::size_t skip = (kLine - address / sizeof(double) % kLine) % kLine;
    first_ = storage_.data() + skip;
    second_ = first_ + RoundedUp(layout.size());
}

CycleVerdict TwinBuffers::Verdict(const CycleFault& fault) {
    if (fault.corrupt) {
        double* firstArrays[4] = {};
        double* secondArrays[4] = {};
        for (std::size_t i = 0; i < layout_.count; ++i) {
            firstArrays[i] = first_ + i * layout_.length;
            secondArrays[i] = second_ + i * layout_.length;
        }
        if (fault.bothPasses) fault.corrupt(firstArrays, layout_.count);
        fault.corrupt(secondArrays, layout_.count);
    }
    return CompareResultsWith(FirstPass(), ResultsIn(second_, layout_));
}

}  // namespace vload
