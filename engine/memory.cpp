// The memory worker routine over its private block.
#include "engine/memory.h"

#include <cstring>

#include "engine/private_block.h"
#include "engine/run_state.h"
#include "engine/worker.h"

namespace {

std::atomic<MemoryCycleObserver> g_cycleObserver{nullptr};

// Tells the optimiser the block is read here, so neither fill is merged or dropped.
inline void KeepStores(unsigned char* block) {
    asm volatile("" : : "r"(block) : "memory");
}

}  // namespace

void SetMemoryCycleObserver(MemoryCycleObserver observer) {
    g_cycleObserver.store(observer, std::memory_order_relaxed);
}

void MemoryCycle(unsigned char* block, std::size_t size, MemoryCycleObserver observer) {
    std::memset(block, 97, size);
    KeepStores(block);
    if (observer) observer(block, size);
    std::memset(block, 0, size);
    KeepStores(block);
    if (observer) observer(block, size);
}

unsigned long RunMemoryFills(unsigned char* block, std::size_t size,
                             const std::atomic<bool>& stopRequested, MemoryCycleObserver observer) {
    return RunUntilStopped(stopRequested, [&] { MemoryCycle(block, size, observer); });
}

unsigned MemoryWorker(void*) {
    PrivateBlock block(kMemoryBlockSize);
    const MemoryCycleObserver observer = g_cycleObserver.load(std::memory_order_relaxed);
    if (block.data()) {
        if (observer) observer(block.data(), block.size());
        RunMemoryFills(block.data(), block.size(), TestRunState.stopRequested, observer);
    }
    return 0;
}
