// The form every worker routine has, the loop they share, and storage helpers.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <new>

#include "engine/run_state.h"

// Thread entry: one untyped parameter (the main dialog, never read), exit code 0.
using WorkerRoutine = unsigned (*)(void* parameter);

// Storage is acquired once per worker; failure is not an error, the worker just
// contributes nothing.
template <typename T>
std::unique_ptr<T> TryAllocate() {
    return std::unique_ptr<T>(new (std::nothrow) T);
}

// Told of every cycle, numbered from 1: before it starts and after it ends. The
// program's workers need nothing; the headless runner keeps its accounts here.
struct NoCycleObserver {
    void BeforeCycle(unsigned long) {}
    void AfterCycle(unsigned long) {}
};

// Runs whole cycles until stopRequested is seen after one; a cycle is never cut
// short. A stop already requested at entry means no cycle at all.
template <typename Cycle, typename Observer = NoCycleObserver>
unsigned long RunUntilStopped(const std::atomic<bool>& stopRequested, Cycle&& cycle,
                              Observer&& observer = Observer{}) {
    unsigned long cycles = 0;
    if (IsRaised(stopRequested)) return cycles;
    do {
        observer.BeforeCycle(cycles + 1);
        cycle();
        observer.AfterCycle(++cycles);
    } while (!IsRaised(stopRequested));
    return cycles;
}
