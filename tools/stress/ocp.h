// The run as Open Compute Project Test and Validation output, version 2.0: one
// JSON object per line, numbered in order, as fleet test executives read it.
// The run start and one step per worker go out before the run, so that a run
// that never ends still leaves a readable beginning; the rest follows it.
#pragma once

#include <chrono>
#include <ostream>
#include <string>

#include "tools/stress/report.h"
#include "tools/stress/runner.h"

class OcpStream {
public:
    explicit OcpStream(std::ostream& out) : out_(out) {}

    // schemaVersion, testRunStart and a testStepStart for each planned worker.
    void Begin(const RunSetup& setup, const std::string& commandLine);
    // Each worker's measurements, diagnoses and end, a step for each load's
    // reference, then testRunEnd agreeing with the run's exit status. A failing
    // run always says why, in a FAIL diagnosis or an error. `reportFailure`: why
    // the JSON report could not be written, an error of the run.
    void End(const RunResult& result, const std::string& reportFailure = {});

private:
    void Emit(const char* kind, nlohmann::ordered_json body);
    void Step(std::size_t worker, const char* kind, nlohmann::ordered_json body);

    std::ostream& out_;  // not owned
    unsigned long sequence_ = 0;
    bool explained_ = false;  // a FAIL diagnosis or an error went out
};

// The command line as one string, arguments with blanks quoted.
std::string CommandLine(int argc, const char* const* argv);
