// The run's worker table, the launcher, and runs started one after another.
#include "engine/worker_table.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/complex_math.h"
#include "engine/matrix.h"
#include "engine/memory.h"

#ifdef _WIN32
#include <windows.h>

#include "engine/thread_launcher_platform.h"
#include "support/unique_resource.h"
#else
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

struct Launch {
    WorkerRoutine routine;
    void* parameter;
    int priority;
};
std::vector<Launch> g_launches;

bool RecordLaunch(WorkerRoutine routine, void* parameter, int priority) {
    g_launches.push_back({routine, parameter, priority});
    return true;
}

TEST(WorkerTable, LaunchesTheBaseWorkersThenOneMatrixWorkerPerOption) {
    struct Case {
        RunOptions options;
        std::size_t expected;
    };
    int dialog = 0;
    for (const Case& c : {Case{{false, false}, 3}, Case{{true, false}, 4}, Case{{false, true}, 4},
                          Case{{true, true}, 5}}) {
        g_launches.clear();
        EXPECT_EQ(LaunchWorkerTable(c.options, &dialog, RecordLaunch),
                  static_cast<int>(c.expected));
        ASSERT_EQ(g_launches.size(), c.expected);
        EXPECT_EQ(g_launches[0].routine, &MatrixWorker);
        EXPECT_EQ(g_launches[1].routine, &MemoryWorker);
        EXPECT_EQ(g_launches[2].routine, &ComplexMathWorker);
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(g_launches[i].priority, kPriorityHighest);
        for (std::size_t i = 3; i < c.expected; ++i) {
            EXPECT_EQ(g_launches[i].routine, &MatrixWorker);
            EXPECT_EQ(g_launches[i].priority, kPriorityAboveNormal);
        }
        for (const Launch& l : g_launches) EXPECT_EQ(l.parameter, &dialog);
    }
}

TEST(WorkerTable, AThreadThatDoesNotStartIsNotCounted) {
    auto refuse = [](WorkerRoutine, void*, int) { return false; };
    EXPECT_EQ(LaunchWorkerTable({true, true}, nullptr, refuse), 0);
}

TEST(RunFlags, StartClearsTheErrorFlagsAndStopRequestedButNotIdle) {
    TestRunStateRecord state;
    state.idle = false;
    for (auto* f : {&state.chipsetError, &state.matrixError, &state.integerMathError,
                    &state.complexMathError, &state.stopRequested})
        f->store(true);
    ClearRunFlags(state);
    EXPECT_FALSE(state.chipsetError || state.matrixError || state.integerMathError ||
                 state.complexMathError || state.stopRequested);
    EXPECT_FALSE(state.idle.load());
    RequestStop(state);
    EXPECT_TRUE(state.stopRequested.load());
}

// Each routine notes the priority it runs at before doing anything else.
std::atomic<int> g_seenPriority{-100};
std::atomic<bool> g_release{false};

int CurrentPriority() {
#ifdef _WIN32
    return GetThreadPriority(GetCurrentThread());
#else
    return -getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
#endif
}

unsigned NotePriority(void*) {
    g_seenPriority = CurrentPriority();
    return 0;
}

TEST(Launcher, ThePriorityIsInForceBeforeTheRoutineRuns) {
    const int base = CurrentPriority();
#ifdef _WIN32
    const bool privileged = true;
#else
    const bool privileged = geteuid() == 0;  // only privilege may raise a thread
#endif
    for (int priority : {kPriorityAboveNormal, kPriorityHighest}) {
        g_seenPriority = -100;
        ASSERT_TRUE(LaunchWorkerThread(NotePriority, nullptr, priority));
        WaitForEarlierWorkers();
        EXPECT_EQ(g_seenPriority.load(), privileged ? base + priority : base);
    }
    EXPECT_EQ(LiveWorkerCount(), 0);
}

#ifdef _WIN32
// Keeps its own handle to the thread it refuses, so the test can see it end.
HANDLE g_refused = nullptr;
unsigned long __stdcall RefuseToResume(void* thread) {
    DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &g_refused, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    // Under Wine a thread created suspended still runs Wine's own start-up until
    // it parks; ended in the middle of that, it can take the process down now
    // and then. On Windows it never ran at all. Let it park first.
    Sleep(100);
    return static_cast<unsigned long>(-1);
}

TEST(Launcher, AThreadThatCannotBeResumedIsEndedAndNotCounted) {
    using Handle = UniqueResource<HANDLE, ::CloseHandle>;
    using ResumerInPlace = UniqueResource<ThreadResumer, ReplaceThreadResumer>;
    g_seenPriority = -100;
    {
        const ResumerInPlace refusing(ReplaceThreadResumer(RefuseToResume));
        EXPECT_FALSE(LaunchWorkerThread(NotePriority, nullptr, kPriorityHighest));
    }
    const Handle refused(g_refused);
    ASSERT_TRUE(refused);
    EXPECT_EQ(WaitForSingleObject(refused.get(), 0), WAIT_OBJECT_0) << "ended, not left suspended";
    EXPECT_EQ(LiveWorkerCount(), 0) << "the next Start would wait for it forever";
    EXPECT_EQ(g_seenPriority.load(), -100) << "the routine never ran";
}
#endif

// A worker of an earlier run still in its cycle when the next Start comes: its
// verdict arrives late and must not land in the new run.
unsigned LateVerdict(void*) {
    while (!g_release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Raise(TestRunState.matrixError);
    return 0;
}

TEST(Launcher, StartWaitsForTheWorkersOfTheEarlierRun) {
    g_release = false;
    ASSERT_TRUE(LaunchWorkerThread(LateVerdict, nullptr, kPriorityHighest));
    RequestStop();
    std::atomic<bool> started{false};
    std::thread start([&] {
        WaitForEarlierWorkers();
        ClearRunFlags();
        started = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(started.load()) << "Start went ahead beside a live worker";
    EXPECT_EQ(LiveWorkerCount(), 1);
    g_release = true;
    start.join();
    EXPECT_EQ(LiveWorkerCount(), 0);
    EXPECT_FALSE(IsRaised(TestRunState.matrixError)) << "an old verdict landed in the new run";
}

TEST(Runs, AStartStopStormLeavesNoWorkerAndRaisesNothing) {
    const int runs = 200;
    for (int run = 0; run < runs; ++run) {
        WaitForEarlierWorkers();
        ClearRunFlags();
        const RunOptions options{run % 2 == 0, run % 3 == 0};
        const int started = LaunchWorkerTable(options, nullptr);
        EXPECT_EQ(started, 3 + options.useMmx + options.useSse);
        if (run % 20 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(30));
        RequestStop();  // half the runs start again at once, the others pause
        if (run % 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_FALSE(IsRaised(TestRunState.matrixError) || IsRaised(TestRunState.complexMathError))
            << "run " << run;
    }
    WaitForEarlierWorkers();
    EXPECT_EQ(LiveWorkerCount(), 0);
    EXPECT_FALSE(IsRaised(TestRunState.matrixError) || IsRaised(TestRunState.complexMathError) ||
                 IsRaised(TestRunState.chipsetError) || IsRaised(TestRunState.integerMathError));
    Lower(TestRunState.stopRequested);
}

}  // namespace
