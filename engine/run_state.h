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
inline void Raise(std::atomic<bool>& flag) { flag.store(true, std::memory_order_relaxed); }
inline void Lower(std::atomic<bool>& flag) { flag.store(false, std::memory_order_relaxed); }
