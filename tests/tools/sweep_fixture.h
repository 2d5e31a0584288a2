// What the sweep's tests share: a one-bit fault, a journal kept in memory, and
// this machine cut to two processors so each sweep stays short.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tools/stress/platform.h"
#include "tools/stress/sweep.h"
#include "tools/stress/sweep_journal.h"

namespace sweep_fixture {

inline void FlipLowestBit(double* const* arrays, std::size_t) {
    std::uint64_t bits;
    std::memcpy(&bits, &arrays[1][7], sizeof bits);
    bits ^= 1;
    std::memcpy(&arrays[1][7], &bits, sizeof bits);
}

// The journal into memory, each line with whether it was to be synced.
struct Captured {
    std::string text;
    std::vector<bool> synced;
};

inline std::shared_ptr<SweepJournal> Capture(const std::shared_ptr<Captured>& into) {
    return std::make_shared<SweepJournal>([into](const std::string& line, bool sync) {
        into->text += line;
        into->synced.push_back(sync);
    });
}

inline RunSetup Machine() {
    RunSetup setup;
    setup.processors = UsableProcessors();
    if (setup.processors.size() > 2) setup.processors.resize(2);
    setup.options.quiet = true;
    return setup;
}

}  // namespace sweep_fixture
