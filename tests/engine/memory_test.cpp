// The memory worker: fills, stop semantics, and its private block.
#include "engine/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "engine/run_state.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool AllBytesAre(const unsigned char* block, std::size_t size, unsigned char value) {
    return std::all_of(block, block + size, [&](unsigned char b) { return b == value; });
}

// Checks every fill as it happens: the whole block 97 after the first fill of a
// cycle, zero after the second. Stops after the fifth cycle. A worker's first
// call, before any fill, hands over its block.
struct Observed {
    static inline int fills = 0, wrongFills = 0, blocksHad = 0;
    static inline bool expectBlock = false;
    static inline std::atomic<bool>* stop = nullptr;
    static inline std::size_t size = 0;
    static inline void (*onBlock)(const unsigned char*, std::size_t) = nullptr;
    static void Reset(std::atomic<bool>* stopFlag, bool fromWorker = false) {
        fills = wrongFills = blocksHad = 0;
        onBlock = nullptr;
        expectBlock = fromWorker;
        stop = stopFlag;
        size = 0;
    }
    static void Seen(const unsigned char* b, std::size_t n) {
        size = n;
        if (std::exchange(expectBlock, false)) {
            ++blocksHad;
            if (onBlock) onBlock(b, n);
            return;
        }
        if (!AllBytesAre(b, n, fills % 2 == 0 ? 97 : 0)) ++wrongFills;
        if (++fills == 10 && stop) stop->store(true);
    }
};

// The worker's observer for one test, removed however the test ends.
struct ObserverInPlace {
    explicit ObserverInPlace(MemoryCycleObserver observer) { SetMemoryCycleObserver(observer); }
    ~ObserverInPlace() { SetMemoryCycleObserver(nullptr); }
};

TEST(MemoryFills, StopAtEntryWritesNothing) {
    std::vector<unsigned char> block(kMemoryBlockSize, 0x55);
    std::atomic<bool> stop{true};
    EXPECT_EQ(RunMemoryFills(block.data(), block.size(), stop), 0u);
    EXPECT_TRUE(AllBytesAre(block.data(), block.size(), 0x55));
}

TEST(MemoryFills, EachCycleFillsTheWholeBlockWith97ThenWithZero) {
    std::vector<unsigned char> block(kMemoryBlockSize, 0x55);
    std::atomic<bool> stop{false};
    Observed::Reset(&stop);
    EXPECT_EQ(RunMemoryFills(block.data(), block.size(), stop, Observed::Seen), 5u);
    EXPECT_EQ(Observed::fills, 10);
    EXPECT_EQ(Observed::wrongFills, 0);
}

// Stop comes between the two fills of a cycle: that cycle still ends with its
// zero fill, and no further cycle starts.
std::atomic<bool>* g_stopAtFill = nullptr;
int g_fillsSeen = 0, g_stopAfterFill = 0;

void StopAtAChosenFill(const unsigned char*, std::size_t) {
    if (++g_fillsSeen == g_stopAfterFill) g_stopAtFill->store(true);
}

TEST(MemoryFills, StopDuringACycleEndsWithTheZeroFill) {
    const struct {
        int stopAfterFill;
        unsigned long cycles;
    } cases[] = {{1, 1}, {3, 2}, {4, 2}, {7, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE("stop after fill " + std::to_string(c.stopAfterFill));
        std::vector<unsigned char> block(kMemoryBlockSize, 0x55);
        std::atomic<bool> stop{false};
        g_stopAtFill = &stop;
        g_fillsSeen = 0;
        g_stopAfterFill = c.stopAfterFill;
        EXPECT_EQ(RunMemoryFills(block.data(), block.size(), stop, StopAtAChosenFill), c.cycles);
        EXPECT_EQ(g_fillsSeen, static_cast<int>(2 * c.cycles));
        EXPECT_TRUE(AllBytesAre(block.data(), block.size(), 0));
    }
}

#ifdef _WIN32
DWORD LiveHeaps() {
    return GetProcessHeaps(0, nullptr);
}

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

DWORD g_heapsWithBlock = 0;
bool g_blockInPrivateHeap = false;

void NoteHeaps(const unsigned char* block, std::size_t size) {
    g_heapsWithBlock = LiveHeaps();
    g_blockInPrivateHeap = BlockIsInAPrivateHeap(block, size);
}

TEST(MemoryWorkerRoutine, GetsItsOwnHeapFillsTheBlockAndReleasesEverything) {
    for (bool stopAtEntry : {false, true}) {
        SCOPED_TRACE(stopAtEntry ? "stop at entry" : "five cycles");
        const DWORD before = LiveHeaps();
        Observed::Reset(&TestRunState.stopRequested, true);
        Observed::onBlock = NoteHeaps;
        g_heapsWithBlock = 0;
        g_blockInPrivateHeap = false;
        const ObserverInPlace observer(Observed::Seen);
        TestRunState.stopRequested = stopAtEntry;
        EXPECT_EQ(MemoryWorker(nullptr), 0u);
        TestRunState.stopRequested = false;
        EXPECT_EQ(Observed::blocksHad, 1) << "the heap and the block are had even at a stop";
        EXPECT_EQ(Observed::size, kMemoryBlockSize);
        EXPECT_EQ(g_heapsWithBlock, before + 1);
        EXPECT_TRUE(g_blockInPrivateHeap);
        EXPECT_EQ(Observed::fills, stopAtEntry ? 0 : 10);
        EXPECT_EQ(Observed::wrongFills, 0);
        EXPECT_EQ(LiveHeaps(), before) << "heap destroyed";
    }
}
#else
TEST(MemoryWorkerRoutine, FillsItsOwnBlockUntilStopped) {
    Observed::Reset(&TestRunState.stopRequested, true);
    const ObserverInPlace observer(Observed::Seen);
    TestRunState.stopRequested = false;
    EXPECT_EQ(MemoryWorker(nullptr), 0u);
    EXPECT_EQ(Observed::blocksHad, 1);
    EXPECT_EQ(Observed::fills, 10);
    EXPECT_EQ(Observed::size, kMemoryBlockSize);
    EXPECT_EQ(Observed::wrongFills, 0);
    TestRunState.stopRequested = false;
}
#endif

}  // namespace
