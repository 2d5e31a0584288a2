// What a run tells its user: the banner, the summary, and the JSON report.
#pragma once

#include <ctime>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "tools/stress/runner.h"

// The calendar time in UTC, the same on every platform.
std::tm UtcCalendar(std::time_t seconds);

extern const char* const kStressVersion;
// Raised whenever a key of the JSON report changes meaning or goes away.
constexpr int kReportSchemaVersion = 2;

void PrintBanner(std::ostream& out, const RunSetup& setup);
// "Time-stamp counter rate: 2445.75 MHz (the counter's, not the cores' clock)"
std::string TimeStampCounterLine(const std::string& clockText);
void PrintSummary(std::ostream& out, const RunSetup& setup, const RunResult& result);

// "MatrixWorker" for the dialog's routines, "fma/avx2" for the other loads.
std::string WorkerLabel(const WorkerState& w);

// --list-loads: each load's name, the instruction set it would use here (or why
// it cannot run) and its description, one line each.
void PrintLoads(std::ostream& out, const LoadRegistry& registry, unsigned machineIsas,
                std::optional<Isa> forced);

// "Error: worker 4 (MatrixWorker, cpu 1) cycle 3, cross-core: array C element 7: ..."
std::string ErrorText(const RunResult& result, std::size_t worker, const ErrorRecord& error);
// The same from the worker's own state, as its own thread may write it mid-run.
std::string ErrorText(std::size_t worker, const WorkerState& w, const ErrorRecord& error);
// "Reference MatrixWorker: digest 0x..., 2 of 2 worker(s) agree", or the disagreement,
// and the expected digest's verdict on a line of its own.
std::string CheckText(const RunResult& result, const RoutineCheck& check);

// "Result: PASS, ...", "Result: FAIL, Error in ...", or "Result: COULD NOT RUN, ...".
std::string ResultLine(const RunResult& result);

// The options in effect, as the JSON report and the OCP run start name them.
nlohmann::ordered_json OptionsJson(const StressOptions& options);

nlohmann::ordered_json BuildReport(const RunSetup& setup, const RunResult& result);

// "0x" and sixteen hex digits.
std::string Hex64(std::uint64_t value);
