// The dialog's three routines as loads: each instance owns one worker's arrays
// or block, and a cycle is the engine's own inspected cycle, so the runner
// verifies exactly what the dialog's workers compute.
#include <memory>

#include "engine/cycle_verdict.h"
#include "engine/memory.h"
#include "engine/private_block.h"
#include "engine/worker.h"
#include "tools/stress/loads/dialog_loads.h"

namespace {

template <typename Arrays, CycleVerdict (*Inspect)(Arrays&, CycleFault)>
class InspectedLoad : public LoadInstance {
public:
    explicit InspectedLoad(std::unique_ptr<Arrays> arrays) : arrays_(std::move(arrays)) {}
    CycleVerdict RunCycle(std::uint64_t, CycleFault fault) override {
        return Inspect(*arrays_, fault);
    }
    PassResults FirstPass() const override { return FirstPassResults(*arrays_); }

    static std::unique_ptr<LoadInstance> Make(Isa) {
        auto arrays = TryAllocate<Arrays>();
        if (!arrays) return nullptr;
        return std::make_unique<InspectedLoad>(std::move(arrays));
    }

private:
    std::unique_ptr<Arrays> arrays_;
};

using MatrixLoad = InspectedLoad<MatrixArrays, InspectMatrixCycle>;
using ComplexMathLoad = InspectedLoad<ComplexMathArrays, InspectComplexMathCycle>;

// Fills compare nothing: the verdict is always clean and there are no results.
class MemoryLoad : public LoadInstance {
public:
    explicit MemoryLoad(std::unique_ptr<PrivateBlock> block) : block_(std::move(block)) {}
    CycleVerdict RunCycle(std::uint64_t, CycleFault) override {
        MemoryCycle(block_->data(), block_->size());
        return {};
    }
    PassResults FirstPass() const override { return {}; }

    static std::unique_ptr<LoadInstance> Make(Isa) {
        auto block = std::make_unique<PrivateBlock>(kMemoryBlockSize);
        if (!block->data()) return nullptr;
        return std::make_unique<MemoryLoad>(std::move(block));
    }

private:
    std::unique_ptr<PrivateBlock> block_;
};

}  // namespace

// The dialog's builds differ in their C runtime, so none has a known digest;
// fleets pin them with --expect-digest instead.
const LoadDescriptor kMatrixLoad{
    "matrix",
    "the dialog's matrix worker: sine, cosine, logarithm and square root over 8 x 10000 doubles",
    kMatrixResults,
    0,
    IsaBit(Isa::Base),
    0,
    MatrixLoad::Make};

const LoadDescriptor kMemoryLoad{
    "memory",
    "the dialog's memory worker: a private 1 MiB block filled with 97, then with 0",
    {},
    0,
    IsaBit(Isa::Base),
    0,
    MemoryLoad::Make};

const LoadDescriptor kComplexMathLoad{
    "complex-math",
    "the dialog's complex-math worker: sines and cosines of 0..2999 folded through a divisor",
    kComplexResults,
    0,
    IsaBit(Isa::Base),
    0,
    ComplexMathLoad::Make};
