// One stress run without a window: the workers with per-cycle accounting, a
// monitor that watches the clock, interrupts and stalls, and the verdict.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/cycle_verdict.h"
#include "tools/stress/options.h"

enum ExitStatus { kExitClean = 0, kExitErrors = 1, kExitUsage = 2, kExitInterrupted = 3, kExitCouldNotRun = 4 };

enum class WorkerKind { Matrix, Memory, ComplexMath };
const char* RoutineName(WorkerKind kind);

struct ErrorRecord {
    std::uint64_t cycle = 0;
    int processor = -1;
    Mismatch first;                 // the first mismatching pair of that cycle
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
};

constexpr std::size_t kMaxErrorRecords = 100;

// Seams for tests and the self-test. The program's ordinary runs use none.
struct RunSeams {
    std::function<void(std::size_t worker, std::uint64_t cycle)> beforeCycle;
    SecondPassCorruptor corrupt = nullptr;  // applied once, to one worker's one cycle
    std::size_t corruptWorker = 0;
    std::uint64_t corruptCycle = 1;
    std::chrono::milliseconds stallAfter{10000};
    std::chrono::milliseconds tick{100};
};

struct RunSetup {
    StressOptions options;
    std::string processorName;  // empty: unknown
    std::string clockText;      // empty: no estimate
    bool hasMmx = false;
    bool hasSse = false;
    std::vector<int> processors;  // usable logical processors
};

struct RunResult {
    int status = kExitClean;
    bool interrupted = false;
    double elapsedSeconds = 0;
    std::chrono::system_clock::time_point startTime, endTime;
    std::vector<std::shared_ptr<WorkerState>> workers;
    std::uint64_t totalErrorCycles() const;
    bool anyStalled() const;
};

// The workers a run starts, in order, with the processor each is pinned to.
std::vector<std::pair<WorkerKind, int>> PlanWorkers(const RunSetup& setup);

// Runs until the time is up, an interrupt arrives, or (with --stop-on-error) the
// first error. liveLine: a status line refreshed every tick on `out`.
RunResult RunStress(const RunSetup& setup, std::ostream& out, bool liveLine,
                    const std::atomic<bool>& interrupt, const RunSeams& seams = {});

// The error line in the dialog's words: the last raised of complex math, matrix.
std::string ErrorLine(const RunResult& result);
std::string ErrorLine(std::uint64_t matrixErrors, std::uint64_t complexErrors);
