// The run's worker table and the engine's half of Start.
#include "engine/worker_table.h"

#include "engine/complex_math.h"
#include "engine/matrix.h"
#include "engine/memory.h"

const WorkerTableRow kWorkerTable[kWorkerTableRows] = {
    {MatrixWorker, kPriorityHighest, WorkerCondition::Always},
    {MemoryWorker, kPriorityHighest, WorkerCondition::Always},
    {ComplexMathWorker, kPriorityHighest, WorkerCondition::Always},
    {MatrixWorker, kPriorityAboveNormal, WorkerCondition::MmxOption},
    {MatrixWorker, kPriorityAboveNormal, WorkerCondition::SseOption},
};

bool RowApplies(const WorkerTableRow& row, RunOptions options) {
    switch (row.condition) {
        case WorkerCondition::Always:
            return true;
        case WorkerCondition::MmxOption:
            return options.useMmx;
        case WorkerCondition::SseOption:
            return options.useSse;
    }
    return false;
}

void ClearRunFlags(TestRunStateRecord& state) {
    Lower(state.chipsetError);
    Lower(state.matrixError);
    Lower(state.integerMathError);
    Lower(state.complexMathError);
    Lower(state.stopRequested);
}

int LaunchWorkerTable(RunOptions options, void* parameter, WorkerLauncher launch) {
    int started = 0;
    for (const WorkerTableRow& row : kWorkerTable) {
        if (RowApplies(row, options) && launch(row.routine, parameter, row.priority)) ++started;
    }
    return started;
}
