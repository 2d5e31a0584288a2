// The memory worker: fills, stop semantics, and its private block.
#include "engine/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "engine/run_state.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool AllBytesAre(const unsigned char* block, std::size_t size, unsigned char value) {
    return std::all_of(block, block + size, [&](unsigned char b) { return b == value; });
}

struct Observed {
    static inline int cycles = 0;
    static inline int nonZeroCycles = 0;
    static inline std::atomic<bool>* stop = nullptr;
    static inline const unsigned char* block = nullptr;
    static inline std::size_t size = 0;
    static void Reset(std::atomic<bool>* stopFlag) {
        cycles = nonZeroCycles = 0;
        stop = stopFlag;
        block = nullptr;
        size = 0;
    }
    // Checks the block between cycles and stops after the fifth.
    static void AfterCycle(const unsigned char* b, std::size_t n) {
        block = b;
        size = n;
        if (!AllBytesAre(b, n, 0)) ++nonZeroCycles;
        if (++cycles == 5 && stop) stop->store(true);
    }
};

TEST(MemoryFills, StopAtEntryWritesNothing) {
    std::vector<unsigned char> block(kMemoryBlockSize, 0x55);
    std::atomic<bool> stop{true};
    EXPECT_EQ(RunMemoryFills(block.data(), block.size(), stop), 0u);
    EXPECT_TRUE(AllBytesAre(block.data(), block.size(), 0x55));
}

TEST(MemoryFills, TheBlockIsZeroBetweenCycles) {
    std::vector<unsigned char> block(kMemoryBlockSize, 0x55);
    std::atomic<bool> stop{false};
    Observed::Reset(&stop);
    EXPECT_EQ(RunMemoryFills(block.data(), block.size(), stop, Observed::AfterCycle), 5u);
    EXPECT_EQ(Observed::nonZeroCycles, 0);
}

TEST(MemoryFills, StopDuringACycleEndsWithTheZeroFill) {
    std::vector<unsigned char> block(kMemoryBlockSize, 0x55);
    std::atomic<bool> stop{false};
    unsigned long cycles = 0;
    std::thread worker([&] { cycles = RunMemoryFills(block.data(), block.size(), stop); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    stop = true;
    worker.join();
    EXPECT_GE(cycles, 1u);
    EXPECT_TRUE(AllBytesAre(block.data(), block.size(), 0));
}

#ifdef _WIN32
DWORD LiveHeaps() { return GetProcessHeaps(0, nullptr); }

// Finds the busy entry at the block's address in any heap but the process heap.
bool BlockIsInAPrivateHeap(const void* block, std::size_t size) {
    HANDLE heaps[256];
    const DWORD n = GetProcessHeaps(256, heaps);
    for (DWORD i = 0; i < n && i < 256; ++i) {
        if (heaps[i] == GetProcessHeap()) continue;
        PROCESS_HEAP_ENTRY entry{};
        bool found = false;
        while (HeapWalk(heaps[i], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) && entry.lpData == block &&
                entry.cbData >= size)
                found = true;
        }
        if (found) return true;
    }
    return false;
}

TEST(MemoryWorkerRoutine, GetsItsOwnHeapFillsTheBlockAndReleasesEverything) {
    const DWORD before = LiveHeaps();
    Observed::Reset(&TestRunState.stopRequested);
    static DWORD heapsWhileRunning = 0;
    static bool inPrivateHeap = false;
    SetMemoryCycleObserver([](const unsigned char* b, std::size_t n) {
        if (Observed::cycles == 0) {
            heapsWhileRunning = LiveHeaps();
            inPrivateHeap = BlockIsInAPrivateHeap(b, n);
        }
        Observed::AfterCycle(b, n);
    });
    TestRunState.stopRequested = false;
    EXPECT_EQ(MemoryWorker(nullptr), 0u);
    SetMemoryCycleObserver(nullptr);
    EXPECT_EQ(Observed::cycles, 5);
    EXPECT_EQ(Observed::size, kMemoryBlockSize);
    EXPECT_EQ(heapsWhileRunning, before + 1);
    EXPECT_TRUE(inPrivateHeap);
    EXPECT_EQ(LiveHeaps(), before) << "heap destroyed";
    TestRunState.stopRequested = false;
}

TEST(MemoryWorkerRoutine, StopAtEntryStillCreatesAndReleasesTheHeap) {
    const DWORD before = LiveHeaps();
    TestRunState.stopRequested = true;
    EXPECT_EQ(MemoryWorker(nullptr), 0u);
    EXPECT_EQ(LiveHeaps(), before);
    TestRunState.stopRequested = false;
}
#else
TEST(MemoryWorkerRoutine, FillsItsOwnBlockUntilStopped) {
    Observed::Reset(&TestRunState.stopRequested);
    SetMemoryCycleObserver(Observed::AfterCycle);
    TestRunState.stopRequested = false;
    EXPECT_EQ(MemoryWorker(nullptr), 0u);
    SetMemoryCycleObserver(nullptr);
    EXPECT_EQ(Observed::cycles, 5);
    EXPECT_EQ(Observed::size, kMemoryBlockSize);
    EXPECT_EQ(Observed::nonZeroCycles, 0);
    TestRunState.stopRequested = false;
}
#endif

}  // namespace
