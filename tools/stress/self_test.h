// --self-test: proves, on this machine, that a wrong result is caught and
// reported, whether it strikes one pass or both passes of a worker alike.
#pragma once

#include <ostream>

#include "tools/stress/runner.h"

// Both faults flip the lowest bit of element 7 of array B in the second cycle:
// the one-pass fault in the second pass of the first matrix worker, the
// deterministic fault in both passes of the extra matrix worker.
constexpr std::size_t kSelfTestElement = 7;
constexpr int kSelfTestArray = 1;
constexpr std::uint64_t kSelfTestCycle = 2;
constexpr std::size_t kSelfTestOnePassWorker = 0;
constexpr std::size_t kSelfTestBothPassesWorker = 3;

// The self-test's own run: the dialog's three base workers and one more matrix
// worker to compare with, ending once both faults are caught.
RunSetup SelfTestSetup(const RunSetup& machine);

// Runs the short faulty run and checks its verdict; prints PASS or FAIL. The
// run itself is handed back for a report when `run` is given.
bool RunSelfTest(const RunSetup& setup, std::ostream& out, RunResult* run = nullptr);
