// Starting worker threads: the routine runs with its parameter at the given
// priority, in force before its first instruction; no handle is kept. The
// launcher counts the workers still running, so that a new run can wait for the
// stragglers of the last one instead of running beside them.
#pragma once

#include "engine/worker.h"

// The two levels a run uses, with the values of THREAD_PRIORITY_ABOVE_NORMAL and
// THREAD_PRIORITY_HIGHEST.
constexpr int kPriorityAboveNormal = 1;
constexpr int kPriorityHighest = 2;

// The seam through which runs start their workers; answers whether a thread started.
using WorkerLauncher = bool (*)(WorkerRoutine routine, void* parameter, int priority);

// The platform's launcher. A thread that cannot be created is not an error.
bool LaunchWorkerThread(WorkerRoutine routine, void* parameter, int priority);

// Workers started by LaunchWorkerThread whose routine has not yet returned.
int LiveWorkerCount();

// Blocks until every worker started by LaunchWorkerThread has returned. After
// stopRequested is set each finishes the cycle it is in, so this is short.
void WaitForEarlierWorkers();
