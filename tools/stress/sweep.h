// quarrion-stress --sweep: every logical processor in turn under each regime,
// then all of them at once, with every cycle charged to the processor it ran
// on, the clock and temperature beside every error, and retests of failures.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/stress/attribution.h"
#include "tools/stress/clock_sampler.h"
#include "tools/stress/machine_checks.h"
#include "tools/stress/options.h"
#include "tools/stress/runner.h"
#include "tools/stress/sensors.h"
#include "tools/stress/sweep_plan.h"
#include "tools/stress/topology.h"

struct SweepOptions {
    bool sweep = false;
    unsigned seconds = 60;  // each step's slot
    std::vector<Regime> regimes = AllRegimes();
    std::optional<double> maxTempCelsius;  // also guards ordinary runs
    unsigned retests = 0;
    std::string resumePath;   // --resume FILE: go on from the stream in FILE
    std::string commandLine;  // as given, for the stream's run start
};

// Takes the sweep's options (--sweep, --sweep-seconds S, --regimes LIST,
// --max-temp C, --retest N) out of `args`, leaving the rest to ParseArguments.
std::variant<SweepOptions, UsageError> ExtractSweepOptions(std::vector<std::string>& args);
extern const char* const kSweepUsage;

// The exit status of a run or sweep that --max-temp stopped: errors found before
// the stop still fail it (they are what the user is looking for); otherwise the
// stop is the outcome.
constexpr int StatusStoppedHot(int status) {
    return status == kExitClean || status == kExitInterrupted ? kExitTooHot : status;
}

// An error with where and when it happened.
struct SweepError {
    int processor = -1;           // charged to; -1 when the cycle migrated or several are blamed
    std::vector<int> processors;  // a check that blames several processors at once
    std::optional<std::uint32_t> apicId;
    std::string load;
    Regime regime = Regime::Light;
    unsigned retest = 0;  // 0: the sweep itself, else the repeat's number
    std::uint64_t cycle = 0;
    double clockHz = 0;                           // the worker's latest sample; 0: none yet
    std::optional<double> temperatureC;           // the processor's, when readable
    std::optional<double> temperatureAgeSeconds;  // how long before the error it was read
    double secondsIntoStep = 0;                   // from the step's start to the cycle's end
    std::optional<double> burstRateHz;            // the bursts regime's rate at the error
    // "pass", "cross-core", "known-answer" (a cycle); "disagreement", "digest",
    // "cross-processor" (the step's or the sweep's checks); "stalled"
    std::string kind;
    std::string text;  // the runner's error line, or what the check found
};

struct RetestOutcome {
    int processor = -1;
    Regime regime = Regime::Light;
    std::string load;
    bool allCore = false;  // run on every processor at once again, else alone
    RetestVerdict verdict;
};

struct SweepResult {
    int status = kExitClean;
    bool interrupted = false;
    std::string stopMessage;  // why the sweep ended early (too hot), else empty
    unsigned stepsRun = 0;
    unsigned stepsPlanned = 0;
    double slotSeconds = 0;
    Topology topology;
    SweepTally tally;
    std::vector<SweepError> errors;
    std::vector<RetestOutcome> retests;
    std::optional<double> highestCelsius;  // over the whole sweep
    std::chrono::system_clock::time_point startTime, endTime;
    std::string resumedStart;             // the first session's start, when resumed
    std::map<Regime, std::string> loads;  // the name of each regime's load
    std::map<Regime, std::string> isas;   // the instruction set it runs with here
    bool stalled = false;                 // a worker stopped answering: the sweep ended there
    bool machineChecksReadable = false;   // the system keeps corrected-error counters
    // The digest each processor's first cycle gave, by regime, to be compared
    // across processors.
    std::map<Regime, std::map<int, std::uint64_t>> digests;
};

// A fault for one cycle of one processor's step: in the sweep (retest 0) or in
// one repeat of its retest.
struct SweepFault {
    int processor = 0;
    Regime regime = Regime::Heavy;
    unsigned retest = 0;
    std::uint64_t cycle = 1;
    CycleFault fault;
};

// Seams for tests; ordinary runs use none.
struct SweepSeams {
    std::vector<SweepFault> faults;
    std::optional<double> slotSeconds;  // instead of the whole seconds of the options
    TemperatureMonitor::Source temperatures = LiveTemperatures;
    // Where a worker pinned to `pinned` finds itself before (after: false) and
    // after each cycle.
    std::function<int(int pinned, std::uint64_t cycle, bool after)> processorSeen =
        CurrentProcessorSeen;
    // On the worker's thread before each cycle (a test hangs a worker here).
    std::function<void(int processor, Regime regime, unsigned retest, std::uint64_t cycle)>
        beforeCycle;
    std::chrono::milliseconds stallAfter{10000};
    std::function<MachineCheckCounts()> machineChecks = ReadMachineChecks;
    static int CurrentProcessorSeen(int pinned, std::uint64_t cycle, bool after);
};

// The processors --cpus and --one-per-core leave of `usable`, in order: with
// --one-per-core the first of each physical core (all, where the topology does
// not know the cores). An error names a listed processor that is not usable.
std::variant<std::vector<int>, std::string> ChooseProcessors(const std::vector<int>& usable,
                                                             const StressOptions& options,
                                                             const Topology& topology);

// The load each regime runs: the complex-math routine for light; for the others
// the load --load names first, else the heaviest verified load this machine runs.
const RegisteredLoad* RegimeLoad(const RunSetup& setup, Regime regime);

class SweepJournal;
struct JournalContents;

// Runs the sweep, writing `journal` as it goes (none: no stream). With
// `resumed`, goes on from the stream an earlier session left: its steps count
// as run, and the one it left open is reported as the machine stopping there.
SweepResult RunSweep(const RunSetup& setup, const SweepOptions& options, std::ostream& out,
                     const std::atomic<bool>& interrupt, const SweepSeams& seams = {},
                     std::shared_ptr<SweepJournal> journal = nullptr,
                     const JournalContents* resumed = nullptr);

// What the sweep will do, before it starts.
void PrintSweepBanner(std::ostream& out, const RunSetup& setup, const SweepOptions& options);

// The processor-by-regime table, the errors with their context, the retests and
// the result line.
void PrintSweep(std::ostream& out, const SweepResult& result);

nlohmann::ordered_json SweepReport(const RunSetup& setup, const SweepOptions& options,
                                   const SweepResult& result);
// "  cpu 1 (APIC 2), fma-add, heavy, cycle 3, clock 3.40 GHz, ...": an error
// with its place and moment, as the table and the stream give it.
std::string SweepErrorLine(const SweepError& error);
