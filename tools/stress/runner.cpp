// The headless run: worker threads over the engine's passes, and the monitor.
#include "tools/stress/runner.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <thread>

#include "engine/matrix.h"
#include "engine/worker.h"
#include "engine/worker_table.h"
#include "tools/stress/control_word.h"
#include "tools/stress/digest.h"
#include "tools/stress/isa.h"
#include "tools/stress/known_answer.h"
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
    std::vector<std::unique_ptr<RoutineVote>> votes;
};

// Where worker `index` runs now: the system's answer, else its pin.
int ProcessorNow(const RunSeams& seams, std::size_t index, const WorkerState& w) {
    const int now = seams.currentProcessor ? seams.currentProcessor(index) : CurrentProcessor();
    return now >= 0 ? now : w.pinnedProcessor.load();
}

void FollowTarget(WorkerState& w, const RunSeams& seams, std::size_t index) {
    const int target = w.targetProcessor.load(std::memory_order_relaxed);
    if (target >= 0 && target != w.pinnedProcessor) {
        if (PinCurrentThread(target)) w.pinnedProcessor = target;
    }
    w.processor.store(ProcessorNow(seams, index, w), std::memory_order_relaxed);
}

// Records the verdict's first mismatch; answers whether there was one.
bool Note(WorkerState& w, std::uint64_t cycle, ErrorKind kind, const CycleVerdict& verdict,
          int processor) {
    if (verdict.mismatches == 0) return false;
    if (w.errors.size() < kMaxErrorRecords)
        w.errors.push_back(ErrorRecord{cycle, processor, kind, *verdict.first, verdict.mismatches});
    return true;
}

// A pass against the load's known answer; answers whether it missed it.
bool CheckKnownAnswer(WorkerState& w, std::uint64_t cycle, const PassResults& pass, int processor) {
    const auto judged = JudgeKnownAnswer(w.descriptor(), w.referenceIsa, pass, w.knownResults);
    if (!judged) return false;
    if (w.errors.size() < kMaxErrorRecords) {
        ErrorRecord record{cycle, processor, ErrorKind::KnownAnswer, {}, 0, judged->digest};
        record.first.array = -1;  // until the known values name the element
        if (judged->verdict.first) {
            record.first = *judged->verdict.first;
            record.mismatchingPairs = judged->verdict.mismatches;
        }
        w.errors.push_back(record);
    }
    return true;
}

// What a worker's first passes answer to: the reference its load elected, when
// there is one and it is the known answer (where the load knows one); else the
// known answer alone; else nothing but its own second pass.
enum class Against { Nothing, Elected, Known };

Against ReferenceFor(const WorkerState& w) {
    const std::uint64_t known = w.descriptor().knownDigest;
    const VoteOutcome* outcome = w.vote ? w.vote->Outcome() : nullptr;
    if (w.crossCheck && outcome && outcome->majority && (!known || outcome->digest == known))
        return Against::Elected;
    return known ? Against::Known : Against::Nothing;
}

// A worker's own first cycle against its reference, once that is known.
bool JudgeOwnBallot(WorkerState& w) {
    if (!w.vote || w.ballotJudged || (w.crossCheck && !w.vote->Outcome())) return false;
    const auto ballot = w.vote->Ballot(w.voteSlot);
    if (!ballot) return false;
    w.ballotJudged = true;
    switch (ReferenceFor(w)) {
        case Against::Elected:
            return Note(w, 1, ErrorKind::CrossCore, *w.vote->JudgeBallot(w.voteSlot),
                        w.ballotProcessor);
        case Against::Known:
            return CheckKnownAnswer(w, 1, *ballot, w.ballotProcessor);
        case Against::Nothing:
            break;
    }
    return false;
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
        while (w.crossCheck && !vote.TryDecide([](std::size_t) { return false; }) &&
               !run.stop.load(std::memory_order_relaxed)) {
            w.lastProgressMs.store(NowMs(), std::memory_order_relaxed);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return JudgeOwnBallot(w);
    }
    const int processor = w.processor.load(std::memory_order_relaxed);
    switch (ReferenceFor(w)) {
        case Against::Elected:
            return Note(w, cycle, ErrorKind::CrossCore,
                        CompareResultsWith(results, *vote.Reference()), processor);
        case Against::Known:
            return CheckKnownAnswer(w, cycle, results, processor);
        case Against::Nothing:
            break;
    }
    return false;
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
        FollowTarget(w, seams, index);
        if (seams.beforeCycle) seams.beforeCycle(index, number);
    }
    void AfterCycle(unsigned long number) {
        w.cycles.store(number, std::memory_order_relaxed);
        w.lastProgressMs.store(NowMs(), std::memory_order_relaxed);
        if (seams.afterCycle) seams.afterCycle(index, number, w);
    }
};

// The control words after a cycle; a change is recorded, and the defaults set
// again for the next cycle. Answers whether there was one.
bool CheckControlWords(WorkerState& w, std::uint64_t cycle, int processor) {
    const ControlWords words = ReadControlWords();
    if (ControlWordChange(words).empty()) return false;
    SetDefaultControlWords();
    if (w.errors.size() < kMaxErrorRecords) {
        ErrorRecord record{cycle, processor, ErrorKind::ControlWord,
                           {},    0,         PackedControlWords(words)};
        record.first.array = -1;
        w.errors.push_back(record);
    }
    return true;
}

// The load's instance lives on this thread from its first cycle to its last.
void RunLoad(std::size_t index, WorkerState& w, SharedRun& run) {
    const std::unique_ptr<LoadInstance> instance = w.descriptor().make(w.isa);
    if (!instance) return;  // no storage: the worker contributes nothing
    SetDefaultControlWords();
    w.started = true;
    RunUntilStopped(
        run.stop,
        [&] {
            const std::uint64_t number = w.cycles.load(std::memory_order_relaxed) + 1;
            const int before = w.processor.load(std::memory_order_relaxed);
            const CycleVerdict verdict =
                instance->RunCycle(number, FaultFor(run.seams, index, number));
            // An unpinned worker's error names where its cycle ended, and where
            // it began when the system moved it during the cycle.
            const int after = ProcessorNow(run.seams, index, w);
            w.processor.store(after, std::memory_order_relaxed);
            const std::size_t recorded = w.errors.size();
            bool bad = Note(w, number, ErrorKind::Pass, verdict, after);
            if (w.vote) bad |= CrossCheck(w, run, number, instance->FirstPass());
            bad |= CheckControlWords(w, number, after);
            if (before >= 0 && after >= 0 && before != after)
                for (std::size_t i = recorded; i < w.errors.size(); ++i)
                    w.errors[i].movedFrom = before;
            if (bad) w.errorCycles.fetch_add(1, std::memory_order_relaxed);
        },
        Accounts{index, w, run.seams});
    if (JudgeOwnBallot(w)) w.errorCycles.fetch_add(1, std::memory_order_relaxed);
}

// The thread shares ownership of its state and of the run for its whole life.
// NOLINTNEXTLINE(performance-unnecessary-value-param)
void WorkerBody(std::size_t index, std::shared_ptr<WorkerState> w, std::shared_ptr<SharedRun> run) {
    w->lastProgressMs = NowMs();
    if (w->pinnedProcessor >= 0 && !PinCurrentThread(w->pinnedProcessor)) w->pinnedProcessor = -1;
    try {
        RunLoad(index, *w, *run);
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

// Per load, in the order the plan first names it: "matrix 35.2/s", or with an
// instruction set and a FLOP count "fma/avx2 120.0/s 48.1 GFLOP/s".
std::string LoadRates(const RunResult& r, double elapsed) {
    std::vector<const WorkerState*> firsts;
    std::string text;
    for (const auto& w : r.workers) {
        const bool seen = std::any_of(firsts.begin(), firsts.end(), [&](const WorkerState* f) {
            return f->load == w->load && f->isa == w->isa;
        });
        if (seen) continue;
        firsts.push_back(w.get());
        double cycles = 0, flops = 0;
        for (const auto& other : r.workers) {
            if (other->load != w->load || other->isa != w->isa) continue;
            cycles += static_cast<double>(other->cycles);
            flops += WorkerFlops(*other, elapsed).value_or(0);
        }
        char part[96];
        std::snprintf(part, sizeof part, "%s%s%s %.1f/s", w->descriptor().name,
                      w->isa == Isa::Base ? "" : "/", w->isa == Isa::Base ? "" : IsaName(w->isa),
                      elapsed > 0 ? cycles / elapsed : 0.0);
        text += (text.empty() ? "" : " ") + std::string(part);
        if (w->descriptor().flopsPerCycle > 0) {
            std::snprintf(part, sizeof part, " %.1f GFLOP/s", flops / 1e9);
            text += part;
        }
    }
    return text;
}

std::string LiveLine(const RunResult& r, const RunSetup& setup, double elapsed) {
    const unsigned total = setup.options.seconds;
    char text[96];
    // Remaining time rounds up, so the line never reads 0 while the run goes on.
    const double left = total > elapsed ? std::ceil(total - elapsed) : 0;
    std::snprintf(text, sizeof text, "%s elapsed, %s left | ", Duration(elapsed).c_str(),
                  total ? Duration(left).c_str() : "--:--:--");
    return std::string("\r") + text + LoadRates(r, elapsed) + " | " + ErrorLine(r) + "\x1b[K";
}

}  // namespace

const char* ErrorKindName(ErrorKind kind) {
    switch (kind) {
        case ErrorKind::Pass:
            return "pass";
        case ErrorKind::CrossCore:
            return "cross-core";
        case ErrorKind::KnownAnswer:
            return "known-answer";
        case ErrorKind::ControlWord:
            return "control-word";
    }
    return "?";
}

bool RoutineCheck::Disagreement() const {
    return crossCheck && outcome && !outcome->majority && outcome->ballots >= 2;
}

bool RoutineCheck::DigestDiffers() const {
    return expectedDigest && !(outcome && outcome->majority && outcome->digest == *expectedDigest);
}

bool RoutineCheck::KnownDiffers() const {
    return knownDigest && outcome && outcome->majority && outcome->digest != knownDigest;
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

std::optional<double> WorkerFlops(const WorkerState& w, double seconds) {
    const double perCycle = w.descriptor().flopsPerCycle;
    if (perCycle <= 0) return {};
    return seconds > 0 ? perCycle * static_cast<double>(w.cycles.load()) / seconds : 0.0;
}

std::optional<double> RunResult::flopsPerSecond() const {
    std::optional<double> total;
    for (const auto& w : workers)
        if (const auto flops = WorkerFlops(*w, elapsedSeconds)) total = total.value_or(0) + *flops;
    return total;
}

std::string ErrorLine(std::uint64_t matrixErrors, std::uint64_t complexErrors) {
    RaisedErrors raised;
    raised.complexMath = complexErrors > 0;
    raised.matrix = matrixErrors > 0;
    const char* message = ErrorMessage(raised);
    return message ? message : "No Error(s) detected yet!";
}

std::string ErrorLine(const RunResult& result) {
    RaisedErrors raised;
    const RegisteredLoad* other = nullptr;  // the first load the dialog does not have
    auto raise = [&](const RegisteredLoad* load) {
        if (load->dialog && load->dialog->flag)
            raised.*(load->dialog->flag) = true;
        else if (!load->dialog && !other)
            other = load;
    };
    for (const auto& w : result.workers)
        if (w->errorCycles > 0) raise(w->load);
    for (const RoutineCheck& c : result.checks)
        if (c.load && (c.Disagreement() || c.KnownDiffers())) raise(c.load);
    if (const char* message = ErrorMessage(raised)) return message;
    if (other) return std::string(" Error in ") + other->descriptor->name;
    return "No Error(s) detected yet!";
}

std::vector<const RegisteredLoad*> ChosenLoads(const RunSetup& setup) {
    std::vector<const RegisteredLoad*> loads;
    if (setup.options.loads.empty()) {
        for (const WorkerTableRow& row : kWorkerTable) {
            const RegisteredLoad* load = FindDialogLoad(*setup.registry, row.routine);
            if (RowApplies(row, RunOptions{}) && load) loads.push_back(load);
        }
    }
    for (const std::string& name : setup.options.loads)
        if (const RegisteredLoad* load = FindLoad(*setup.registry, name)) loads.push_back(load);
    return loads;
}

std::optional<Isa> LoadIsa(const LoadDescriptor& load, unsigned machineIsas,
                           std::optional<Isa> forced, std::string* why) {
    // Loads built for their base alone run as they are, whatever is forced.
    if (load.isas == IsaBit(Isa::Base)) forced.reset();
    if (const auto isa = ChooseIsa(load.isas, machineIsas, forced)) return isa;
    if (why) {
        std::string built, has;
        for (Isa isa : {Isa::Avx512, Isa::Avx2, Isa::Sse2, Isa::Base}) {
            if (load.isas & IsaBit(isa))
                built += (built.empty() ? "" : " or ") + std::string(IsaName(isa));
            if (machineIsas & IsaBit(isa) && has.empty()) has = IsaName(isa);
        }
        if (forced && !(load.isas & IsaBit(*forced)))
            *why = std::string("has no ") + IsaName(*forced) + " variant (built for " + built + ")";
        else if (forced)
            *why = std::string("this processor lacks ") + IsaName(*forced);
        else
            *why = "needs " + built + "; this processor has " + has;
    }
    return {};
}

std::optional<std::string> MachineCannotRun(const RunSetup& setup) {
    const auto forced = setup.options.isa;
    if (forced && !(setup.machineIsas & IsaBit(*forced)))
        return std::string("--isa ") + IsaName(*forced) +
               ": this processor or its operating system lacks it";
    for (const RegisteredLoad* load : ChosenLoads(setup)) {
        std::string why;
        if (!LoadIsa(*load->descriptor, setup.machineIsas, forced, &why))
            return std::string("load '") + load->descriptor->name + "' cannot run here: " + why;
    }
    return {};
}

std::vector<PlannedWorker> PlanWorkers(const RunSetup& setup) {
    const StressOptions& o = setup.options;
    if (!setup.workers.empty()) return setup.workers;
    std::vector<PlannedWorker> plan;
    auto add = [&](const RegisteredLoad* load, int processor) {
        if (!load) return;
        const auto isa = LoadIsa(*load->descriptor, setup.machineIsas, o.isa);
        plan.push_back({load, isa.value_or(Isa::Base), processor});
    };
    const RegisteredLoad* matrix = FindDialogLoad(*setup.registry, MatrixWorker);
    const std::vector<const RegisteredLoad*> loads = ChosenLoads(setup);
    const bool table = o.loads.empty();
    // With --cpus or --one-per-core the table's workers are pinned to the chosen
    // processors in turn, so that none runs outside them.
    std::size_t turn = 0;
    const bool chosen = (!o.cpus.empty() || o.onePerCore) && !setup.processors.empty();
    auto next = [&] { return chosen ? setup.processors[turn++ % setup.processors.size()] : -1; };
    switch (o.placement) {
        case Placement::Table: {
            for (const RegisteredLoad* load : loads) add(load, next());
            // The dialog's option rows for the units this processor has, unless
            // --extra-matrix says how many; with --load, only what it says.
            const RunOptions units{setup.hasMmx, setup.hasSse};
            for (const WorkerTableRow& row : kWorkerTable) {
                if (table && o.extraMatrix < 0 && !RowApplies(row, RunOptions{}) &&
                    RowApplies(row, units))
                    add(FindDialogLoad(*setup.registry, row.routine), next());
            }
            for (int i = 0; i < o.extraMatrix; ++i) add(matrix, next());
            break;
        }
        case Placement::AllCpus:
            if (table) {
                for (int cpu : setup.processors) add(matrix, cpu);
                for (const RegisteredLoad* load : loads)
                    if (load != matrix) add(load, next());
            } else {
                for (int cpu : setup.processors)
                    for (const RegisteredLoad* load : loads) add(load, cpu);
            }
            break;
        case Placement::CycleCores: {
            const int first = setup.processors.empty() ? -1 : setup.processors[0];
            if (table)
                add(matrix, first);
            else
                for (const RegisteredLoad* load : loads) add(load, first);
            break;
        }
    }
    return plan;
}

namespace {

// One election per load with results that runs; each of its workers holds a ballot.
void ArrangeVotes(const StressOptions& o, RunResult& result, SharedRun& run) {
    std::vector<const RegisteredLoad*> arranged;
    for (const auto& candidate : result.workers) {
        const RegisteredLoad* load = candidate->load;
        if (load->descriptor->layout.size() == 0 ||
            std::find(arranged.begin(), arranged.end(), load) != arranged.end())
            continue;
        arranged.push_back(load);
        std::vector<std::size_t> voters;
        for (std::size_t i = 0; i < result.workers.size(); ++i)
            if (result.workers[i]->load == load) voters.push_back(i);
        run.votes.push_back(std::make_unique<RoutineVote>(voters, load->descriptor->layout));
        for (std::size_t slot = 0; slot < voters.size(); ++slot) {
            WorkerState& w = *result.workers[voters[slot]];
            w.vote = run.votes.back().get();
            w.voteSlot = slot;
            w.crossCheck = o.crossCheck && voters.size() >= 2;
        }
    }
}

std::optional<std::uint64_t> ExpectedDigest(const StressOptions& o, const RegisteredLoad& load) {
    std::optional<std::uint64_t> expected;
    for (const auto& [routine, digest] : o.expectDigests)
        if (routine == RoutineName(load)) expected = digest;
    return expected;
}

// The elections as they ended, and the expected digests of loads that never ran.
void CollectChecks(const RunSetup& setup, RunResult& result, const SharedRun& run) {
    const StressOptions& o = setup.options;
    for (const auto& vote : run.votes) {
        RoutineCheck check;
        check.workers = vote->voters();
        const WorkerState& first = *result.workers[check.workers.front()];
        check.load = first.load;
        check.crossCheck = first.crossCheck;
        if (const VoteOutcome* outcome = vote->Outcome()) check.outcome = *outcome;
        check.expectedDigest = ExpectedDigest(o, *check.load);
        check.knownDigest = first.descriptor().knownDigest;
        result.checks.push_back(std::move(check));
    }
    for (const auto& expected : o.expectDigests) {
        const RegisteredLoad* load = FindRoutine(*setup.registry, expected.first);
        const bool listed = std::any_of(result.checks.begin(), result.checks.end(),
                                        [&](const RoutineCheck& c) { return c.load == load; });
        if (load && !listed) {
            RoutineCheck check;
            check.load = load;
            check.expectedDigest = ExpectedDigest(o, *load);
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

    for (const PlannedWorker& planned : PlanWorkers(setup)) {
        auto w = std::make_shared<WorkerState>();
        w->load = planned.load;
        w->isa = planned.isa;
        w->referenceIsa = ReferenceIsa(planned.load->descriptor->isas, setup.machineIsas);
        w->pinnedProcessor = planned.processor;
        w->targetProcessor = planned.processor;
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
            for (const auto& w : result.workers) w->targetProcessor = cpu;
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
    CollectChecks(setup, result, *run);

    bool anyStarted = false;
    for (const auto& w : result.workers) anyStarted = anyStarted || w->started;
    bool checksFailed = false;
    for (const RoutineCheck& c : result.checks)
        checksFailed = checksFailed || c.Disagreement() || c.DigestDiffers() || c.KnownDiffers();
    if (!anyStarted)
        result.status = kExitCouldNotRun;
    else if (result.totalErrorCycles() > 0 || result.anyStalled() || checksFailed)
        result.status = kExitErrors;
    else if (result.interrupted)
        result.status = kExitInterrupted;
    return result;
}
