// The headless run: worker threads over the engine's passes, and the monitor.
#include "tools/stress/runner.h"

#include <cmath>
#include <cstdio>
#include <thread>

#include "engine/complex_math.h"
#include "engine/matrix.h"
#include "engine/memory.h"
#include "engine/private_block.h"
#include "engine/worker.h"
#include "tools/stress/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

// Shared by the monitor and every worker; a stalled worker may outlive the run.
struct SharedRun {
    std::atomic<bool> stop{false};
    RunSeams seams;
};

void FollowTarget(WorkerState& w) {
    const int target = w.targetProcessor.load(std::memory_order_relaxed);
    if (target >= 0 && target != w.pinnedProcessor) {
        if (PinCurrentThread(target)) w.pinnedProcessor = target;
    }
    const int now = CurrentProcessor();
    w.processor.store(now >= 0 ? now : w.pinnedProcessor.load(), std::memory_order_relaxed);
}

void NoteVerdict(WorkerState& w, std::uint64_t cycle, const CycleVerdict& verdict) {
    if (verdict.mismatches == 0) return;
    if (w.errors.size() < kMaxErrorRecords) {
        w.errors.push_back(ErrorRecord{cycle, w.processor.load(std::memory_order_relaxed),
                                       *verdict.first, verdict.mismatches});
    }
    w.errorCycles.fetch_add(1, std::memory_order_relaxed);
}

template <typename Storage, typename Cycle>
void CycleUntilStopped(std::size_t index, WorkerState& w, SharedRun& run, Storage& storage,
                       Cycle&& cycle) {
    w.lastProgressMs = NowMs();
    w.started = true;
    while (!run.stop.load(std::memory_order_relaxed)) {
        FollowTarget(w);
        const std::uint64_t number = w.cycles.load(std::memory_order_relaxed) + 1;
        if (run.seams.beforeCycle) run.seams.beforeCycle(index, number);
        const bool corrupt = run.seams.corrupt && index == run.seams.corruptWorker &&
                             number == run.seams.corruptCycle;
        cycle(storage, corrupt ? run.seams.corrupt : nullptr, number);
        w.cycles.store(number, std::memory_order_relaxed);
        w.lastProgressMs.store(NowMs(), std::memory_order_relaxed);
    }
}

void WorkerBody(std::size_t index, std::shared_ptr<WorkerState> w, std::shared_ptr<SharedRun> run) {
    if (w->pinnedProcessor >= 0 && !PinCurrentThread(w->pinnedProcessor)) w->pinnedProcessor = -1;
    switch (w->kind) {
        case WorkerKind::Matrix:
            if (auto m = TryAllocate<MatrixArrays>()) {
                CycleUntilStopped(index, *w, *run, *m,
                                  [&](MatrixArrays& a, SecondPassCorruptor c, std::uint64_t n) {
                                      NoteVerdict(*w, n, InspectMatrixCycle(a, c));
                                  });
            }
            break;
        case WorkerKind::ComplexMath:
            if (auto a = TryAllocate<ComplexMathArrays>()) {
                CycleUntilStopped(index, *w, *run, *a,
                                  [&](ComplexMathArrays& x, SecondPassCorruptor c, std::uint64_t n) {
                                      NoteVerdict(*w, n, InspectComplexMathCycle(x, c));
                                  });
            }
            break;
        case WorkerKind::Memory: {
            PrivateBlock block(kMemoryBlockSize);
            if (block.data()) {
                CycleUntilStopped(index, *w, *run, block,
                                  [](PrivateBlock& b, SecondPassCorruptor, std::uint64_t) {
                                      MemoryCycle(b.data(), b.size());
                                  });
            }
            break;
        }
    }
    w->finished = true;
}

std::string Duration(double seconds) {
    const long s = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

std::string LiveLine(const RunResult& r, const RunSetup& setup, double elapsed) {
    double rate[3] = {0, 0, 0};
    std::uint64_t matrixErrors = 0, complexErrors = 0;
    for (const auto& w : r.workers) {
        rate[static_cast<int>(w->kind)] += elapsed > 0 ? w->cycles / elapsed : 0;
        if (w->kind == WorkerKind::Matrix) matrixErrors += w->errorCycles;
        if (w->kind == WorkerKind::ComplexMath) complexErrors += w->errorCycles;
    }
    const unsigned total = setup.options.seconds;
    char text[256];
    // Remaining time rounds up, so the line never reads 0 while the run goes on.
    const double left = total > elapsed ? std::ceil(total - elapsed) : 0;
    std::snprintf(text, sizeof text, "%s elapsed, %s left | matrix %.1f/s memory %.1f/s complex %.1f/s | ",
                  Duration(elapsed).c_str(), total ? Duration(left).c_str() : "--:--:--", rate[0],
                  rate[1], rate[2]);
    return std::string("\r") + text + ErrorLine(matrixErrors, complexErrors) + "\x1b[K";
}

}  // namespace

const char* RoutineName(WorkerKind kind) {
    switch (kind) {
        case WorkerKind::Matrix:
            return "MatrixWorker";
        case WorkerKind::Memory:
            return "MemoryWorker";
        case WorkerKind::ComplexMath:
            return "ComplexMathWorker";
    }
    return "?";
}

std::uint64_t RunResult::totalErrorCycles() const {
    std::uint64_t n = 0;
    for (const auto& w : workers) n += w->errorCycles;
    return n;
}

bool RunResult::anyStalled() const {
    for (const auto& w : workers)
        if (w->stalled) return true;
    return false;
}

std::string ErrorLine(std::uint64_t matrixErrors, std::uint64_t complexErrors) {
    std::string line = "No Error(s) detected yet!";
    if (complexErrors) line = " Error in Complex Math";
    if (matrixErrors) line = " Error in Matrix";
    return line;
}

std::string ErrorLine(const RunResult& result) {
    std::uint64_t matrix = 0, complex = 0;
    for (const auto& w : result.workers) {
        if (w->kind == WorkerKind::Matrix) matrix += w->errorCycles;
        if (w->kind == WorkerKind::ComplexMath) complex += w->errorCycles;
    }
    return ErrorLine(matrix, complex);
}

std::vector<std::pair<WorkerKind, int>> PlanWorkers(const RunSetup& setup) {
    const StressOptions& o = setup.options;
    std::vector<std::pair<WorkerKind, int>> plan;
    switch (o.placement) {
        case Placement::Table: {
            plan = {{WorkerKind::Matrix, -1}, {WorkerKind::Memory, -1}, {WorkerKind::ComplexMath, -1}};
            const int extra = o.extraMatrix >= 0 ? o.extraMatrix : setup.hasMmx + setup.hasSse;
            for (int i = 0; i < extra; ++i) plan.push_back({WorkerKind::Matrix, -1});
            break;
        }
        case Placement::AllCpus:
            for (int cpu : setup.processors) plan.push_back({WorkerKind::Matrix, cpu});
            plan.push_back({WorkerKind::Memory, -1});
            plan.push_back({WorkerKind::ComplexMath, -1});
            break;
        case Placement::CycleCores:
            plan.push_back({WorkerKind::Matrix, setup.processors.empty() ? -1 : setup.processors[0]});
            break;
    }
    return plan;
}

RunResult RunStress(const RunSetup& setup, std::ostream& out, bool liveLine,
                    const std::atomic<bool>& interrupt, const RunSeams& seams) {
    RunResult result;
    auto run = std::make_shared<SharedRun>();
    run->seams = seams;
    const StressOptions& o = setup.options;

    result.startTime = std::chrono::system_clock::now();
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> threads;
    for (const auto& [kind, cpu] : PlanWorkers(setup)) {
        auto w = std::make_shared<WorkerState>();
        w->kind = kind;
        w->pinnedProcessor = cpu;
        w->targetProcessor = cpu;
        w->lastProgressMs = NowMs();
        const std::size_t index = result.workers.size();
        result.workers.push_back(w);
        try {
            threads.emplace_back(WorkerBody, index, w, run);
        } catch (const std::system_error&) {
            w->finished = true;  // never started: contributes nothing
            threads.emplace_back();
        }
    }

    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    std::size_t nextProcessor = 1;
    double nextMove = o.cycleSeconds;
    for (;;) {
        std::this_thread::sleep_for(seams.tick);
        const double now = elapsed();
        if (interrupt.load(std::memory_order_relaxed)) {
            // Without a time limit the interrupt is the end that was asked for.
            result.interrupted = o.seconds > 0 && now < o.seconds;
            break;
        }
        if (o.seconds > 0 && now >= o.seconds) break;
        if (o.stopOnError && result.totalErrorCycles() > 0) break;
        const std::int64_t ms = NowMs();
        bool allGone = true;
        for (const auto& w : result.workers) {
            if (w->finished) continue;
            allGone = false;
            if (!w->stalled && ms - w->lastProgressMs > seams.stallAfter.count()) w->stalled = true;
        }
        if (allGone) break;  // nothing could start, or everything ended by itself
        if (o.placement == Placement::CycleCores && !setup.processors.empty() && now >= nextMove) {
            const int cpu = setup.processors[nextProcessor++ % setup.processors.size()];
            result.workers.front()->targetProcessor = cpu;
            nextMove += o.cycleSeconds;
        }
        if (liveLine) out << LiveLine(result, setup, now) << std::flush;
    }
    run->stop = true;
    if (liveLine) out << "\r\x1b[K" << std::flush;

    // Each worker finishes the cycle it is in; one that does not within the stall
    // limit is left behind and counted as stalled.
    for (std::size_t i = 0; i < threads.size(); ++i) {
        WorkerState& w = *result.workers[i];
        while (!w.finished && !w.stalled) {
            if (NowMs() - w.lastProgressMs > seams.stallAfter.count()) w.stalled = true;
            else std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (!threads[i].joinable()) continue;
        if (w.finished) threads[i].join();
        else threads[i].detach();
    }
    result.endTime = std::chrono::system_clock::now();
    result.elapsedSeconds = elapsed();

    bool anyStarted = false;
    for (const auto& w : result.workers) anyStarted = anyStarted || w->started;
    if (!anyStarted) result.status = kExitCouldNotRun;
    else if (result.totalErrorCycles() > 0 || result.anyStalled()) result.status = kExitErrors;
    else if (result.interrupted) result.status = kExitInterrupted;
    return result;
}
