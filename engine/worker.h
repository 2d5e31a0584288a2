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

// Runs whole cycles until stopRequested is seen after one; a cycle is never cut
// short. A stop already requested at entry means no cycle at all.
template <typename Cycle>
unsigned long RunUntilStopped(const std::atomic<bool>& stopRequested, Cycle&& cycle) {
    unsigned long cycles = 0;
    if (IsRaised(stopRequested)) return cycles;
    do {
        cycle();
        ++cycles;
    } while (!IsRaised(stopRequested));
    return cycles;
}
