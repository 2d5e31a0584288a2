// What the runner asks of a load: one descriptor per load (its name, its
// results' shape, its arithmetic, the instruction sets it can use) and one
// instance per worker that runs cycles on that worker's own thread.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/cycle_verdict.h"

// Instruction sets a load may be built for. Base: the code as the build
// compiles it (the dialog's routines); the others through per-function targets.
enum class Isa { Base, Sse2, Avx2, Avx512 };

constexpr unsigned IsaBit(Isa isa) { return 1u << static_cast<unsigned>(isa); }

// One worker's instance of a load: made on the worker's thread, used only there.
class LoadInstance {
public:
    virtual ~LoadInstance() = default;
    // One cycle: every work item computed twice and the copies compared bit for
    // bit through the engine's rule. `fault` (a test seam) corrupts the second
    // copy, or both, before the comparison; `number` counts cycles from 1.
    virtual CycleVerdict RunCycle(std::uint64_t number, CycleFault fault) = 0;
    // The first copy's results of the last cycle, in the descriptor's layout:
    // the ballot, the cross-core comparison and the digest read them.
    virtual PassResults FirstPass() const = 0;
};

struct LoadDescriptor {
    const char* name;         // as on the command line: "fma", "cache", ...
    const char* description;  // one line for --list-loads
    PassResults layout;       // the shape of FirstPass(); size() 0: nothing to compare
    // Floating-point operations one cycle executes, both copies counted; 0 where
    // the load has no count (memory traffic, integer work).
    double flopsPerCycle;
    unsigned isas;  // IsaBit()s the load is built for
    // The digest of the results every sound core computes in every cycle,
    // whatever the instruction set; 0 where there is none to know (the dialog's
    // routines differ between builds).
    std::uint64_t knownDigest;
    // One worker's storage and state; null when the storage cannot be had.
    std::unique_ptr<LoadInstance> (*make)(Isa isa);
};
