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
#include "engine/worker.h"
#include "tools/stress/cross_check.h"
#include "tools/stress/options.h"

enum ExitStatus {
    kExitClean = 0,
    kExitErrors = 1,
    kExitUsage = 2,
    kExitInterrupted = 3,
    kExitCouldNotRun = 4
};

enum class WorkerKind { Matrix, Memory, ComplexMath };
const char* RoutineName(WorkerKind kind);

// Pass: the cycle's two passes differ. CrossCore: its first pass differs from the
// reference the workers of its routine elected.
enum class ErrorKind { Pass, CrossCore };
const char* ErrorKindName(ErrorKind kind);  // "pass", "cross-core"

struct ErrorRecord {
    std::uint64_t cycle = 0;
    int processor = -1;
    ErrorKind kind = ErrorKind::Pass;
    Mismatch first;  // the first mismatching element; `second` is the reference for CrossCore
    std::size_t mismatchingPairs = 0;
};

// Written by its worker thread; the monitor reads the atomics while it runs and
// the rest once the thread has ended.
struct WorkerState {
    WorkerKind kind = WorkerKind::Matrix;
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
    // Set before the thread starts: the routine's election (not owned; none for
    // the memory worker), this worker's ballot in it, and whether it is compared.
    RoutineVote* vote = nullptr;
    std::size_t voteSlot = 0;
    bool crossCheck = false;
    // The worker's own thread, then whoever sees it finished.
    int ballotProcessor = -1;
    bool ballotJudged = false;
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
};

struct RunSetup {
    StressOptions options;
    std::string hostName;
    std::vector<std::string> platformInfos;  // processor and build, for fleet records
    std::string processorName;               // empty: unknown
    std::string clockText;                   // empty: no estimate
    bool hasMmx = false;
    bool hasSse = false;
    std::vector<int> processors;  // usable logical processors
    // Non-empty: exactly these workers (routine, pinned processor) instead of
    // the placement's; how a sweep runs each of its steps.
    std::vector<std::pair<WorkerKind, int>> workers;
};

// One routine's cross-core check: its election and the digest the user expects.
struct RoutineCheck {
    WorkerKind kind = WorkerKind::Matrix;
    bool crossCheck = false;  // its workers were compared with each other
    std::vector<std::size_t> workers;
    std::optional<VoteOutcome> outcome;  // empty: never decided (no worker ran)
    std::optional<std::uint64_t> expectedDigest;
    bool Disagreement() const;   // compared, and no majority among two or more ballots
    bool DigestDiffers() const;  // expected, and not what this machine elected
};

struct RunResult {
    int status = kExitClean;
    bool interrupted = false;
    double elapsedSeconds = 0;
    std::chrono::system_clock::time_point startTime, endTime;
    std::vector<std::shared_ptr<WorkerState>> workers;
    std::vector<RoutineCheck> checks;
    std::uint64_t totalErrorCycles() const;
    bool anyStalled() const;
};

// The workers a run starts, in order, with the processor each is pinned to.
std::vector<std::pair<WorkerKind, int>> PlanWorkers(const RunSetup& setup);

// Runs until the time is up, an interrupt arrives, or (with --stop-on-error) the
// first error. liveLine: a status line refreshed every tick on `out`.
RunResult RunStress(const RunSetup& setup, std::ostream& out, bool liveLine,
                    const std::atomic<bool>& interrupt, const RunSeams& seams = {});

// The error line in the dialog's words and by the dialog's rule.
std::string ErrorLine(const RunResult& result);
std::string ErrorLine(std::uint64_t matrixErrors, std::uint64_t complexErrors);
