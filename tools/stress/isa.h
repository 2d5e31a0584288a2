// Which instruction sets this processor and its operating system can run, and
// how a load's instruction set is chosen: the widest both have, or the one forced.
#pragma once

#include <optional>
#include <string>

#include "tools/stress/load.h"

const char* IsaName(Isa isa);  // "base", "sse2", "avx2", "avx512"
std::optional<Isa> ParseIsa(const std::string& name);

// IsaBit()s of what the processor has and the system saves the registers of
// (XGETBV), Base always. AVX2 counts only together with FMA.
unsigned MachineIsas();

// The widest of `loadIsas` that `machineIsas` has; empty when none. With
// `forced`, that one or nothing.
std::optional<Isa> ChooseIsa(unsigned loadIsas, unsigned machineIsas,
                             std::optional<Isa> forced = std::nullopt);
