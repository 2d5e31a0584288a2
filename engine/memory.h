// The memory worker: a private 1 MiB block filled over and over with the byte
// 97 and then with zero. It verifies nothing and raises no flag.
#pragma once

#include <atomic>
#include <cstddef>

constexpr std::size_t kMemoryBlockSize = 1048576;

// Test seam: called with the block after each fill, and by MemoryWorker once
// more as soon as it has its block, before any fill. The program never sets it.
using MemoryCycleObserver = void (*)(const unsigned char* block, std::size_t size);
void SetMemoryCycleObserver(MemoryCycleObserver observer);

// One cycle: the whole block filled with 97, then with zero; real stores both.
void MemoryCycle(unsigned char* block, std::size_t size, MemoryCycleObserver observer = nullptr);

// Fills the block until stopRequested is seen after the zero fill; a stop
// already requested at entry writes nothing. Returns the cycles run.
unsigned long RunMemoryFills(unsigned char* block, std::size_t size,
                             const std::atomic<bool>& stopRequested,
                             MemoryCycleObserver observer = nullptr);

unsigned MemoryWorker(void* parameter);
