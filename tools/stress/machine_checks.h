// The corrected-error counters the system keeps, read before and after each
// sweep step: corrected machine checks under load are often the first sign of
// a voltage or clock that is not quite enough.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

// Linux's /proc/interrupts machine-check (MCE), threshold (THR) and deferred
// error (DFR) lines, per processor, and the EDAC memory controllers' counts.
struct MachineCheckCounts {
    std::map<int, std::uint64_t> perProcessor;                    // the three lines added up
    std::optional<std::uint64_t> edacCorrected, edacUncorrected;  // machine-wide
    bool Available() const { return !perProcessor.empty() || edacCorrected || edacUncorrected; }
};

// The counts in /proc/interrupts' text; none where its lines are missing.
MachineCheckCounts ParseInterrupts(const std::string& text);

// This machine's counts now; nothing available on a system without them (a VM,
// Windows, Wine).
MachineCheckCounts ReadMachineChecks();

// How much `processor`'s counters and the machine-wide ones rose from `before`
// to `after`; empty when neither reading has them.
std::optional<std::uint64_t> MachineCheckRise(const MachineCheckCounts& before,
                                              const MachineCheckCounts& after, int processor);
