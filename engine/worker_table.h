// What a run starts, as data: three base workers at the highest level, then one
// more matrix worker at above-normal for each option checked at Start. The
// options add instances only; no worker reads them.
#pragma once

#include <cstddef>

#include "engine/run_state.h"
#include "engine/thread_launcher.h"

enum class WorkerCondition { Always, MmxOption, SseOption };

struct WorkerTableRow {
    WorkerRoutine routine;
    int priority;
    WorkerCondition condition;
};

constexpr std::size_t kWorkerTableRows = 5;
extern const WorkerTableRow kWorkerTable[kWorkerTableRows];

struct RunOptions {
    bool useMmx = false;
    bool useSse = false;
};

// Rows that apply with no option checked are the run's base workers.
bool RowApplies(const WorkerTableRow& row, RunOptions options);

// Start, as far as the engine goes: clears chipsetError, matrixError,
// integerMathError, complexMathError and stopRequested, in that order. Call
// WaitForEarlierWorkers first, so no verdict of an earlier run lands after it.
void ClearRunFlags(TestRunStateRecord& state = TestRunState);

// Launches the rows that apply, in table order; answers how many threads started.
int LaunchWorkerTable(RunOptions options, void* parameter,
                      WorkerLauncher launch = LaunchWorkerThread);

// Stop, as far as the engine goes: the workers end after the cycle they are in.
inline void RequestStop(TestRunStateRecord& state = TestRunState) {
    Raise(state.stopRequested);
}
