// --self-test: proves, on this machine, that a wrong result is caught and reported.
#pragma once

#include <ostream>

#include "tools/stress/runner.h"

// The fault the self-test injects: the lowest bit of element 7 of the second
// pass's array B, in the first matrix worker's second cycle.
constexpr std::size_t kSelfTestElement = 7;
constexpr int kSelfTestArray = 1;
constexpr std::uint64_t kSelfTestCycle = 2;

// The self-test's own run: the dialog's three base workers, stopping at the error.
RunSetup SelfTestSetup(const RunSetup& machine);

// Runs the short faulty run and checks its verdict; prints PASS or FAIL. The
// run itself is handed back for a report when `run` is given.
bool RunSelfTest(const RunSetup& setup, std::ostream& out, RunResult* run = nullptr);
