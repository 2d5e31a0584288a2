// One stress run without a window: the engine's workers with per-cycle
// accounting and the cross-core check, a monitor that watches the clock,
// interrupts and stalls, and the verdict.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/cycle_verdict.h"
#include "tools/stress/cross_check.h"
#include "tools/stress/load.h"
#include "tools/stress/options.h"
#include "tools/stress/registry.h"

enum ExitStatus {
    kExitClean = 0,
    kExitErrors = 1,
    kExitUsage = 2,
    kExitInterrupted = 3,
    kExitCouldNotRun = 4
};

// Pass: the cycle's two passes differ. CrossCore: its first pass differs from the
// reference the workers of its load elected. KnownAnswer: its first pass is not
// the load's known answer. ControlWord: the floating-point control words were
// not the defaults after the cycle (control_word.h).
enum class ErrorKind { Pass, CrossCore, KnownAnswer, ControlWord };
// "pass", "cross-core", "known-answer", "control-word"
const char* ErrorKindName(ErrorKind kind);

struct ErrorRecord {
    std::uint64_t cycle = 0;
    int processor = -1;  // where the cycle ended
    ErrorKind kind = ErrorKind::Pass;
    // The first mismatching element; `second` is the reference for CrossCore and
    // KnownAnswer. A known-answer record without the known values at hand has
    // array -1 and no mismatching pairs.
    Mismatch first;
    std::size_t mismatchingPairs = 0;
    // KnownAnswer: the digest the worker computed. ControlWord: the words found
    // (PackedControlWords).
    std::uint64_t digest = 0;
    int movedFrom = -1;  // where the cycle began, when that was another processor
};

// A worker as planned: which load, with which instruction set, pinned where.
struct PlannedWorker {
    const RegisteredLoad* load = nullptr;  // a registry row, not owned
    Isa isa = Isa::Base;
    int processor = -1;  // -1: wherever the system schedules it
    bool operator==(const PlannedWorker& o) const {
        return load == o.load && isa == o.isa && processor == o.processor;
    }
};

// Written by its worker thread; the monitor reads the atomics while it runs and
// the rest once the thread has ended.
struct WorkerState {
    const RegisteredLoad* load = nullptr;  // a registry row, not owned
    Isa isa = Isa::Base;
    Isa referenceIsa = Isa::Base;          // the variant its known results come from
    std::atomic<int> pinnedProcessor{-1};  // -1: wherever the system schedules it
    std::atomic<int> targetProcessor{-1};
    std::atomic<int> processor{-1};  // where it last ran, when known
    std::atomic<std::uint64_t> cycles{0};
    std::atomic<std::uint64_t> errorCycles{0};
    std::atomic<std::int64_t> lastProgressMs{0};
    std::atomic<bool> started{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> stalled{false};
    std::vector<ErrorRecord> errors;  // the first kMaxErrorRecords
    // Set before the thread starts: the load's election (not owned; none for a
    // load without results), this worker's ballot in it, and whether it is compared.
    RoutineVote* vote = nullptr;
    std::size_t voteSlot = 0;
    bool crossCheck = false;
    // The worker's own thread, then whoever sees it finished.
    int ballotProcessor = -1;
    bool ballotJudged = false;
    std::vector<double> knownResults;  // computed when a pass misses the known answer
    const LoadDescriptor& descriptor() const { return *load->descriptor; }
};

constexpr std::size_t kMaxErrorRecords = 100;

struct RunResult;

// A fault for one worker's one cycle.
struct SeamFault {
    std::size_t worker = 0;
    std::uint64_t cycle = 1;
    CycleFault fault;
};

// Seams for tests and the self-test. The program's ordinary runs use none.
struct RunSeams {
    std::function<void(std::size_t worker, std::uint64_t cycle)> beforeCycle;
    // On the worker's thread once the cycle and its checks are done.
    std::function<void(std::size_t worker, std::uint64_t cycle, const WorkerState&)> afterCycle;
    std::vector<SeamFault> faults;
    std::function<bool(const RunResult&)> until;  // asked every tick: end the run now?
    std::chrono::milliseconds stallAfter{10000};
    std::chrono::milliseconds tick{100};
    // On the worker's thread, before and after each cycle: where it runs now
    // (-1: unknown). None: the system's answer.
    std::function<int(std::size_t worker)> currentProcessor;
};

struct RunSetup {
    StressOptions options;
    std::string hostName;
    std::vector<std::string> platformInfos;  // processor and build, for fleet records
    std::string processorName;               // empty: unknown
    std::string clockText;                   // empty: no estimate
    bool hasMmx = false;
    bool hasSse = false;
    std::vector<int> processors;                 // usable logical processors
    unsigned machineIsas = IsaBit(Isa::Base);    // what this processor and system run
    const LoadRegistry* registry = &Registry();  // not owned; tests bring their own
    // Non-empty: exactly these workers instead of the placement's; how a sweep
    // runs each of its steps.
    std::vector<PlannedWorker> workers;
};

// One load's cross-core check: its election, the digest the user expects and
// the one the load knows.
struct RoutineCheck {
    const RegisteredLoad* load = nullptr;  // not owned
    bool crossCheck = false;               // its workers were compared with each other
    std::vector<std::size_t> workers;
    std::optional<VoteOutcome> outcome;  // empty: never decided (no worker ran)
    std::optional<std::uint64_t> expectedDigest;
    std::uint64_t knownDigest = 0;  // the descriptor's; 0: none
    bool Disagreement() const;      // compared, and no majority among two or more ballots
    bool DigestDiffers() const;     // expected, and not what this machine elected
    bool KnownDiffers() const;      // known, elected, and not the known answer
};

struct RunResult {
    int status = kExitClean;
    bool interrupted = false;
    std::string stopMessage;  // why the run ended early (too hot), else empty
    double elapsedSeconds = 0;
    std::chrono::system_clock::time_point startTime, endTime;
    std::vector<std::shared_ptr<WorkerState>> workers;
    std::vector<RoutineCheck> checks;
    std::uint64_t totalErrorCycles() const;
    bool anyStalled() const;
    // Floating-point operations per second of every worker whose load counts
    // them, both copies included; empty when none does.
    std::optional<double> flopsPerSecond() const;
};

// A worker's floating-point operations per second over `seconds`, both copies
// counted; empty when its load has no count.
std::optional<double> WorkerFlops(const WorkerState& w, double seconds);

// The workers a run starts, in order: load, instruction set and processor.
// Without --load, the dialog's table; with it, one worker of each chosen load
// (on every processor with --all-cpus), plus --extra-matrix more matrix workers.
std::vector<PlannedWorker> PlanWorkers(const RunSetup& setup);

// The loads the options choose, in order (the dialog's table without --load);
// an unknown name is left out (the parser refuses it).
std::vector<const RegisteredLoad*> ChosenLoads(const RunSetup& setup);

// The instruction set a load runs with here: the widest it and the machine
// share, or the forced one for loads built for more than their base. Empty, with
// the reason in `why`, when it cannot run.
std::optional<Isa> LoadIsa(const LoadDescriptor& load, unsigned machineIsas,
                           std::optional<Isa> forced, std::string* why = nullptr);

// The options checked against this machine: a forced instruction set it lacks,
// or a chosen load that cannot run here. Empty when the run can go ahead.
std::optional<std::string> MachineCannotRun(const RunSetup& setup);

// Runs until the time is up, an interrupt arrives, or (with --stop-on-error) the
// first error. liveLine: a status line refreshed every tick on `out`.
RunResult RunStress(const RunSetup& setup, std::ostream& out, bool liveLine,
                    const std::atomic<bool>& interrupt, const RunSeams& seams = {});

// The error line in the dialog's words and by the dialog's rule; an error in a
// load the dialog does not have reads " Error in NAME" when the dialog's own
// routines are clean.
std::string ErrorLine(const RunResult& result);
std::string ErrorLine(std::uint64_t matrixErrors, std::uint64_t complexErrors);
