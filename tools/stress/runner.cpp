// The headless run: worker threads over the engine's passes, and the monitor.
#include "tools/stress/runner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "engine/complex_math.h"
#include "engine/matrix.h"
#include "engine/memory.h"
#include "engine/private_block.h"
#include "engine/worker.h"
#include "engine/worker_table.h"
#include "tools/stress/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

// The routines of the engine's table, as the runner knows them.
WorkerKind KindOf(WorkerRoutine routine) {
    if (routine == MatrixWorker) return WorkerKind::Matrix;
    if (routine == ComplexMathWorker) return WorkerKind::ComplexMath;
    return WorkerKind::Memory;
}

// Shared by the monitor and every worker; a stalled worker may outlive the run.
struct SharedRun {
    std::atomic<bool> stop{false};
    RunSeams seams;
    std::vector<std::unique_ptr<RoutineVote>> votes;
};

void FollowTarget(WorkerState& w) {
    const int target = w.targetProcessor.load(std::memory_order_relaxed);
    if (target >= 0 && target != w.pinnedProcessor) {
        if (PinCurrentThread(target)) w.pinnedProcessor = target;
    }
    const int now = CurrentProcessor();
    w.processor.store(now >= 0 ? now : w.pinnedProcessor.load(), std::memory_order_relaxed);
}

// Records the verdict's first mismatch; answers whether there was one.
bool Note(WorkerState& w, std::uint64_t cycle, ErrorKind kind, const CycleVerdict& verdict,
          int processor) {
    if (verdict.mismatches == 0) return false;
    if (w.errors.size() < kMaxErrorRecords)
        w.errors.push_back(ErrorRecord{cycle, processor, kind, *verdict.first, verdict.mismatches});
    return true;
}

// A worker's own first cycle against the elected reference, once it is known.
bool JudgeOwnBallot(WorkerState& w) {
    if (!w.crossCheck || w.ballotJudged || !w.vote->Outcome()) return false;
    w.ballotJudged = true;
    const auto verdict = w.vote->JudgeBallot(w.voteSlot);
    return verdict && Note(w, 1, ErrorKind::CrossCore, *verdict, w.ballotProcessor);
}

bool CrossCheck(WorkerState& w, const SharedRun& run, std::uint64_t cycle,
                const PassResults& results) {
    RoutineVote& vote = *w.vote;
    if (cycle == 1) {
        // Before the ballot goes in: whoever reads the outcome may name the processor.
        w.ballotProcessor = w.processor.load(std::memory_order_relaxed);
        vote.Submit(w.voteSlot, results);
        // The last voter counts at once; the monitor counts when a voter is gone.
        // Until then wait, alive to the monitor, so that no cycle goes unchecked.
        while (!vote.TryDecide([](std::size_t) { return false; }) && w.crossCheck &&
               !run.stop.load(std::memory_order_relaxed)) {
            w.lastProgressMs.store(NowMs(), std::memory_order_relaxed);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    if (!w.crossCheck) return false;
    bool bad = JudgeOwnBallot(w);
    if (cycle > 1) {
        if (const auto reference = vote.Reference()) {
            bad |= Note(w, cycle, ErrorKind::CrossCore, CompareResultsWith(results, *reference),
                        w.processor.load(std::memory_order_relaxed));
        }
    }
    return bad;
}

CycleFault FaultFor(const RunSeams& seams, std::size_t index, std::uint64_t cycle) {
    for (const SeamFault& f : seams.faults)
        if (f.worker == index && f.cycle == cycle) return f.fault;
    return {};
}

// The engine's loop tells the runner of every cycle; the accounts are kept here.
struct Accounts {
    std::size_t index;
    WorkerState& w;
    const RunSeams& seams;
    void BeforeCycle(unsigned long number) {
        FollowTarget(w);
        if (seams.beforeCycle) seams.beforeCycle(index, number);
    }
    void AfterCycle(unsigned long number) {
        w.cycles.store(number, std::memory_order_relaxed);
        w.lastProgressMs.store(NowMs(), std::memory_order_relaxed);
        if (seams.afterCycle) seams.afterCycle(index, number, w);
    }
};

template <typename Arrays, typename Inspect>
void RunChecked(std::size_t index, WorkerState& w, SharedRun& run, Inspect inspect) {
    auto arrays = TryAllocate<Arrays>();
    if (!arrays) return;
    w.started = true;
    RunUntilStopped(
        run.stop,
        [&] {
            const std::uint64_t number = w.cycles.load(std::memory_order_relaxed) + 1;
            bool bad = Note(w, number, ErrorKind::Pass,
                            inspect(*arrays, FaultFor(run.seams, index, number)),
                            w.processor.load(std::memory_order_relaxed));
            if (w.vote) bad |= CrossCheck(w, run, number, FirstPassResults(*arrays));
            if (bad) w.errorCycles.fetch_add(1, std::memory_order_relaxed);
        },
        Accounts{index, w, run.seams});
    if (JudgeOwnBallot(w)) w.errorCycles.fetch_add(1, std::memory_order_relaxed);
}

void RunMemory(std::size_t index, WorkerState& w, SharedRun& run) {
    PrivateBlock block(kMemoryBlockSize);
    if (!block.data()) return;
    w.started = true;
    RunUntilStopped(
        run.stop, [&] { MemoryCycle(block.data(), block.size()); }, Accounts{index, w, run.seams});
}

// The thread shares ownership of its state and of the run for its whole life.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void WorkerBody(std::size_t index, std::shared_ptr<WorkerState> w, std::shared_ptr<SharedRun> run) {
    w->lastProgressMs = NowMs();
    if (w->pinnedProcessor >= 0 && !PinCurrentThread(w->pinnedProcessor)) w->pinnedProcessor = -1;
    try {
        switch (w->kind) {
            case WorkerKind::Matrix:
                RunChecked<MatrixArrays>(index, *w, *run, [](MatrixArrays& m, CycleFault f) {
                    return InspectMatrixCycle(m, f);
                });
                break;
            case WorkerKind::ComplexMath:
                RunChecked<ComplexMathArrays>(index, *w, *run,
                                              [](ComplexMathArrays& a, CycleFault f) {
                                                  return InspectComplexMathCycle(a, f);
                                              });
                break;
            case WorkerKind::Memory:
                RunMemory(index, *w, *run);
                break;
        }
    } catch (...) {
        // Out of memory for a record or a ballot: the worker ends, the run goes on.
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
        rate[static_cast<int>(w->kind)] +=
            elapsed > 0 ? static_cast<double>(w->cycles) / elapsed : 0;
        if (w->kind == WorkerKind::Matrix) matrixErrors += w->errorCycles;
        if (w->kind == WorkerKind::ComplexMath) complexErrors += w->errorCycles;
    }
    const unsigned total = setup.options.seconds;
    char text[256];
    // Remaining time rounds up, so the line never reads 0 while the run goes on.
    const double left = total > elapsed ? std::ceil(total - elapsed) : 0;
    std::snprintf(text, sizeof text,
                  "%s elapsed, %s left | matrix %.1f/s memory %.1f/s complex %.1f/s | ",
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

const char* ErrorKindName(ErrorKind kind) {
    return kind == ErrorKind::CrossCore ? "cross-core" : "pass";
}

bool RoutineCheck::Disagreement() const {
    return crossCheck && outcome && !outcome->majority && outcome->ballots >= 2;
}

bool RoutineCheck::DigestDiffers() const {
    return expectedDigest && !(outcome && outcome->majority && outcome->digest == *expectedDigest);
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
    RaisedErrors raised;
    raised.complexMath = complexErrors > 0;
    raised.matrix = matrixErrors > 0;
    const char* message = ErrorMessage(raised);
    return message ? message : "No Error(s) detected yet!";
}

std::string ErrorLine(const RunResult& result) {
    std::uint64_t count[3] = {0, 0, 0};
    for (const auto& w : result.workers) count[static_cast<int>(w->kind)] += w->errorCycles;
    for (const RoutineCheck& c : result.checks) count[static_cast<int>(c.kind)] += c.Disagreement();
    return ErrorLine(count[static_cast<int>(WorkerKind::Matrix)],
                     count[static_cast<int>(WorkerKind::ComplexMath)]);
}

std::vector<std::pair<WorkerKind, int>> PlanWorkers(const RunSetup& setup) {
    const StressOptions& o = setup.options;
    if (!setup.workers.empty()) return setup.workers;
    std::vector<std::pair<WorkerKind, int>> plan;
    switch (o.placement) {
        case Placement::Table: {
            // The dialog's table: its base rows, then its option rows for the units
            // this processor has, or as many of their worker as asked for.
            const RunOptions units{setup.hasMmx, setup.hasSse};
            WorkerRoutine extraRoutine = MatrixWorker;
            for (const WorkerTableRow& row : kWorkerTable) {
                if (RowApplies(row, RunOptions{})) {
                    plan.push_back({KindOf(row.routine), -1});
                } else {
                    extraRoutine = row.routine;
                    if (o.extraMatrix < 0 && RowApplies(row, units))
                        plan.push_back({KindOf(row.routine), -1});
                }
            }
            for (int i = 0; i < o.extraMatrix; ++i) plan.push_back({KindOf(extraRoutine), -1});
            break;
        }
        case Placement::AllCpus:
            for (int cpu : setup.processors) plan.push_back({WorkerKind::Matrix, cpu});
            plan.push_back({WorkerKind::Memory, -1});
            plan.push_back({WorkerKind::ComplexMath, -1});
            break;
        case Placement::CycleCores:
            plan.push_back(
                {WorkerKind::Matrix, setup.processors.empty() ? -1 : setup.processors[0]});
            break;
    }
    return plan;
}

namespace {

// One election per checked routine that runs; each of its workers holds a ballot.
void ArrangeVotes(const StressOptions& o, RunResult& result, SharedRun& run) {
    for (WorkerKind kind : {WorkerKind::Matrix, WorkerKind::ComplexMath}) {
        std::vector<std::size_t> voters;
        for (std::size_t i = 0; i < result.workers.size(); ++i)
            if (result.workers[i]->kind == kind) voters.push_back(i);
        if (voters.empty()) continue;
        const PassResults layout = kind == WorkerKind::Matrix ? kMatrixResults : kComplexResults;
        run.votes.push_back(std::make_unique<RoutineVote>(voters, layout));
        for (std::size_t slot = 0; slot < voters.size(); ++slot) {
            WorkerState& w = *result.workers[voters[slot]];
            w.vote = run.votes.back().get();
            w.voteSlot = slot;
            w.crossCheck = o.crossCheck && voters.size() >= 2;
        }
    }
}

std::optional<std::uint64_t> ExpectedDigest(const StressOptions& o, WorkerKind kind) {
    std::optional<std::uint64_t> expected;
    for (const auto& [routine, digest] : o.expectDigests)
        if (routine == RoutineName(kind)) expected = digest;
    return expected;
}

// The elections as they ended, and the expected digests of routines that never ran.
void CollectChecks(const StressOptions& o, RunResult& result, const SharedRun& run) {
    for (const auto& vote : run.votes) {
        RoutineCheck check;
        check.workers = vote->voters();
        const WorkerState& first = *result.workers[check.workers.front()];
        check.kind = first.kind;
        check.crossCheck = first.crossCheck;
        if (const VoteOutcome* outcome = vote->Outcome()) check.outcome = *outcome;
        check.expectedDigest = ExpectedDigest(o, check.kind);
        result.checks.push_back(std::move(check));
    }
    for (WorkerKind kind : {WorkerKind::Matrix, WorkerKind::ComplexMath}) {
        const bool ran = std::any_of(result.checks.begin(), result.checks.end(),
                                     [&](const RoutineCheck& c) { return c.kind == kind; });
        if (!ran && ExpectedDigest(o, kind)) {
            RoutineCheck check;
            check.kind = kind;
            check.expectedDigest = ExpectedDigest(o, kind);
            result.checks.push_back(std::move(check));
        }
    }
}

bool AnyDisagreement(const SharedRun& run) {
    for (const auto& vote : run.votes) {
        const VoteOutcome* outcome = vote->Outcome();
        if (outcome && !outcome->majority && outcome->ballots >= 2 && vote->voters().size() >= 2)
            return true;
    }
    return false;
}

}  // namespace

RunResult RunStress(const RunSetup& setup, std::ostream& out, bool liveLine,
                    const std::atomic<bool>& interrupt, const RunSeams& seams) {
    RunResult result;
    auto run = std::make_shared<SharedRun>();
    run->seams = seams;
    const StressOptions& o = setup.options;

    for (const auto& [kind, cpu] : PlanWorkers(setup)) {
        auto w = std::make_shared<WorkerState>();
        w->kind = kind;
        w->pinnedProcessor = cpu;
        w->targetProcessor = cpu;
        w->lastProgressMs = NowMs();
        result.workers.push_back(w);
    }
    ArrangeVotes(o, result, *run);

    result.startTime = std::chrono::system_clock::now();
    const Clock::time_point start = Clock::now();
    std::vector<std::thread> threads;
    for (std::size_t index = 0; index < result.workers.size(); ++index) {
        const auto& w = result.workers[index];
        w->lastProgressMs = NowMs();
        try {
            threads.emplace_back(WorkerBody, index, w, run);
        } catch (const std::system_error&) {
            w->finished = true;  // never started: contributes nothing
            threads.emplace_back();
        }
    }

    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    auto excused = [&](std::size_t worker) {
        const WorkerState& w = *result.workers[worker];
        return w.finished || w.stalled;
    };
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
        for (const auto& vote : run->votes) vote->TryDecide(excused);
        if (o.stopOnError && (result.totalErrorCycles() > 0 || AnyDisagreement(*run))) break;
        if (seams.until && seams.until(result)) break;
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
            if (NowMs() - w.lastProgressMs > seams.stallAfter.count())
                w.stalled = true;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (!threads[i].joinable()) continue;
        if (w.finished)
            threads[i].join();
        else
            threads[i].detach();
    }
    result.endTime = std::chrono::system_clock::now();
    result.elapsedSeconds = elapsed();

    // Elections still open count the ballots that arrived; a worker that ended
    // before its routine's outcome was known is judged here.
    for (const auto& vote : run->votes) vote->TryDecide([](std::size_t) { return true; });
    for (const auto& w : result.workers) {
        if (w->finished && JudgeOwnBallot(*w))
            w->errorCycles.fetch_add(1, std::memory_order_relaxed);
    }
    CollectChecks(o, result, *run);

    bool anyStarted = false;
    for (const auto& w : result.workers) anyStarted = anyStarted || w->started;
    bool checksFailed = false;
    for (const RoutineCheck& c : result.checks)
        checksFailed = checksFailed || c.Disagreement() || c.DigestDiffers();
    if (!anyStarted)
        result.status = kExitCouldNotRun;
    else if (result.totalErrorCycles() > 0 || result.anyStalled() || checksFailed)
        result.status = kExitErrors;
    else if (result.interrupted)
        result.status = kExitInterrupted;
    return result;
}
