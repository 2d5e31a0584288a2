// What a run tells its user: the banner, the summary, and the JSON report.
#pragma once

#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/stress/runner.h"

extern const char* const kStressVersion;

void PrintBanner(std::ostream& out, const RunSetup& setup);
void PrintSummary(std::ostream& out, const RunSetup& setup, const RunResult& result);

// "Result: PASS, ...", "Result: FAIL, Error in ...", or "Result: COULD NOT RUN, ...".
std::string ResultLine(const RunResult& result);

nlohmann::ordered_json BuildReport(const RunSetup& setup, const RunResult& result);

// "0x" and sixteen hex digits.
std::string Hex64(std::uint64_t value);
