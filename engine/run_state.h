// The one record shared by the window and the workers: the idle flag, four
// error flags and the stop flag. One-byte lock-free atomics, relaxed; no locks.
#pragma once

#include <atomic>

struct TestRunStateRecord {
    std::atomic<bool> idle{true};
    std::atomic<bool> chipsetError{false};
    std::atomic<bool> matrixError{false};
    std::atomic<bool> integerMathError{false};
    std::atomic<bool> complexMathError{false};
    std::atomic<bool> stopRequested{false};
};

static_assert(sizeof(std::atomic<bool>) == 1, "flags are single bytes");
static_assert(std::atomic<bool>::is_always_lock_free, "flags are lock-free");

// Process-wide, static lifetime, never freed.
extern TestRunStateRecord TestRunState;

// Every access is one whole load or store; nothing is ordered by a flag.
inline bool IsRaised(const std::atomic<bool>& flag) {
    return flag.load(std::memory_order_relaxed);
}
inline void Raise(std::atomic<bool>& flag) {
    flag.store(true, std::memory_order_relaxed);
}
inline void Lower(std::atomic<bool>& flag) {
    flag.store(false, std::memory_order_relaxed);
}

// Which error flags are raised, however the caller counted them.
struct RaisedErrors {
    bool complexMath = false;
    bool integerMath = false;
    bool matrix = false;
    bool chipset = false;
};

RaisedErrors RaisedErrorsOf(const TestRunStateRecord& state);

// The error line's message: the last raised in the order complex math, integer
// math, matrix, chipsets, each with its leading blank; null when none is raised.
const char* ErrorMessage(RaisedErrors raised);
