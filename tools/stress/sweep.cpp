// Each step is one RunStress with the step's workers; the sweep watches its
// cycles through the runner's seams and ends it when its slot is over.
#include "tools/stress/sweep.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "engine/complex_math.h"
#include "tools/stress/isa.h"
#include "tools/stress/platform.h"
#include "tools/stress/report.h"
#include "tools/stress/sweep_journal.h"

const char* const kSweepUsage =
    "\n"
    "       quarrion-stress --sweep [--sweep-seconds S] [--regimes LIST] [--retest N]\n"
    "                       [--max-temp C] [--json FILE] [--ocp FILE] [--quiet]\n"
    "       quarrion-stress --resume FILE [--json FILE] [--quiet]\n"
    "\n"
    "  --sweep            one pinned worker on each logical processor in turn, under each\n"
    "                     regime, then every processor at once; a processor-by-regime table\n"
    "  --sweep-seconds S  each processor's time under each regime (default 60)\n"
    "  --regimes LIST     among light, heavy, bursts, all-core (default: all four)\n"
    "  --retest N         run each failing processor and load again alone N times\n"
    "  --max-temp C       stop when a processor sensor reaches C degrees Celsius (exit 5)\n"
    "  --resume FILE      go on with the sweep whose OCP stream is FILE (written as the\n"
    "                     sweep goes); the step the machine never finished is reported\n"
    "                     machine-stopped. Without FILE yet, start a sweep writing it\n"
    "\n"
    "exit status 5: stopped by --max-temp with no error found; errors found give 1\n";

namespace {

using Clock = std::chrono::steady_clock;

std::optional<unsigned long> Whole(const std::string& text, unsigned long min, unsigned long max) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return {};
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < min || value > max) return {};
    return value;
}

// What one worker saw of its cycles; written only by its own thread.
struct CycleNote {
    std::uint64_t cycle;
    CyclePlace place;
    bool failed;
    double clockHz;  // measured at the cycle's end when it failed, else the latest sample
    Clock::time_point end;
};

struct WorkerWatch {
    WorkerWatch(const ClockSampler::Measure& clock, double slotSeconds)
        : sampler(clock), measure(clock), bursts(slotSeconds) {}
    ClockSampler sampler;
    ClockSampler::Measure measure;  // the clock now, at a failing cycle
    int before = kUnknownProcessor;
    std::uint64_t errorCyclesSeen = 0;
    SweepTally cycles;  // each cycle counted where it ran, as it ends
    // The failing cycles and the first (whose cross-core verdict can come after
    // it): where they ran, their clock and their end, for the errors found in
    // them. A cycle that passed leaves nothing here.
    std::vector<CycleNote> notes;
    std::vector<SweepError> errors;  // as the worker found them, each journaled at once
    std::size_t recordsSeen = 0;     // of its state's error records
    // The bursts regime: its cycles folded as they end, and the on phase the
    // last began in.
    BurstTally bursts;
    double burstOnStart = -1;
};

// One step's state, shared with its workers for as long as any of them runs
// (a stalled worker may outlive the step).
struct StepWatch {
    std::vector<std::unique_ptr<WorkerWatch>> workers;
    Clock::time_point start;
    double slot = 0;
    bool bursts = false;
    std::function<int(int, std::uint64_t, bool)> seen;
    std::atomic<double> celsius{std::nan("")};  // the processor's latest; NaN: not available
    std::atomic<Clock::rep> celsiusAt{0};       // when it was read, steady clock ticks
    // A worker that found an error asks for a fresh reading and waits for it briefly.
    std::atomic<bool> wantTemperature{false};
    std::atomic<unsigned> celsiusReadings{0};
    // What an error needs to name its place, copied so that a hung worker that
    // wakes after the sweep still finds it.
    std::vector<int> pins;
    Regime regime = Regime::Light;
    unsigned retest = 0;
    std::map<int, std::optional<std::uint32_t>> apicIds;
    std::shared_ptr<SweepJournal> journal;  // may be null
    std::string stepId;
    std::vector<double> journaledHz;  // each worker's last sample in the journal; sweep's thread
};

// Each worker's newest clock sample into the journal, from the sweep's thread:
// a worker never waits for the disk between its cycles, so the load (and the
// bursts' timing) is not held up by a sync. The last clock before a crash is
// evidence, so each sample is on the disk within a tick.
void JournalSamples(StepWatch& step) {
    if (!step.journal) return;
    step.journaledHz.resize(step.workers.size(), 0);
    for (std::size_t i = 0; i < step.workers.size(); ++i) {
        const double hz = step.workers[i]->sampler.LastHz();
        if (hz <= 0 || hz == step.journaledHz[i]) continue;
        step.journal->Sample(step.stepId, step.pins[i], hz, std::nullopt);
        step.journaledHz[i] = hz;
    }
}

// The temperature beside an error is to be no older than 100 ms: the sweep's
// own thread reads it at its next tick (every 100 ms) when asked; the worker
// waits for that reading, at most a little longer than one tick.
void AwaitFreshTemperature(StepWatch& step) {
    if (std::isnan(step.celsius.load())) return;  // no sensor: nothing to wait for
    const Clock::time_point now = Clock::now();
    if (now - Clock::time_point(Clock::duration(step.celsiusAt.load())) <=
        std::chrono::milliseconds(100))
        return;
    const unsigned seen = step.celsiusReadings.load();
    step.wantTemperature = true;
    const Clock::time_point deadline = now + std::chrono::milliseconds(250);
    while (step.celsiusReadings.load() == seen && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// One error record of worker `i` with the place, clock and temperature of its
// cycle. On the worker's thread while it runs, on the sweep's once it ended.
SweepError MakeError(const StepWatch& step, std::size_t i, const WorkerState& state,
                     const ErrorRecord& e) {
    const WorkerWatch& w = *step.workers[i];
    SweepError error;
    error.processor = step.pins[i];
    error.load = RoutineName(*state.load);
    error.regime = step.regime;
    error.retest = step.retest;
    error.cycle = e.cycle;
    error.clockHz = w.sampler.LastHz();
    Clock::time_point at = Clock::now();
    // The error's cycle is the newest note but for a late verdict on the first.
    for (auto note = w.notes.rbegin(); note != w.notes.rend(); ++note) {
        if (note->cycle != e.cycle) continue;
        error.clockHz = note->clockHz;
        error.processor = ChargedProcessor(note->place).value_or(kUnknownProcessor);
        at = note->end;
        break;
    }
    error.secondsIntoStep = std::chrono::duration<double>(at - step.start).count();
    if (step.bursts) error.burstRateHz = BurstAt(error.secondsIntoStep, step.slot).rateHz;
    const auto apic = step.apicIds.find(error.processor);
    if (apic != step.apicIds.end()) error.apicId = apic->second;
    const double c = step.celsius.load();
    if (!std::isnan(c)) {
        error.temperatureC = c;
        const Clock::time_point read{Clock::duration(step.celsiusAt.load())};
        error.temperatureAgeSeconds =
            std::max(0.0, std::chrono::duration<double>(at - read).count());
    }
    error.kind = ErrorKindName(e.kind);
    error.text = ErrorText(i, state, e);
    return error;
}

// The records the worker added since it was last looked at, into its watch
// and the journal.
void TakeNewErrors(StepWatch& step, std::size_t i, const WorkerState& state) {
    WorkerWatch& w = *step.workers[i];
    for (; w.recordsSeen < state.errors.size(); ++w.recordsSeen) {
        w.errors.push_back(MakeError(step, i, state, state.errors[w.recordsSeen]));
        if (step.journal) step.journal->Error(step.stepId, w.errors.back());
    }
}

// The bursts regime's gate, before each cycle: an off phase passes asleep.
// Each on phase starts one cycle; another follows while it would end nearer
// the phase's end than stopping does, so short cycles keep the duty.
// Answers whether the load was off before this cycle.
bool WaitForBurst(const StepWatch& step, WorkerWatch& w) {
    const double lastCycle = w.bursts.LastCycleSeconds();
    bool waited = false;
    for (;;) {
        const double t = std::chrono::duration<double>(Clock::now() - step.start).count();
        if (t >= step.slot) return waited;
        const BurstPhase phase = BurstAt(t, step.slot);
        if (phase.on && (phase.onStart != w.burstOnStart || t + lastCycle / 2 < phase.nextEdge)) {
            w.burstOnStart = phase.onStart;
            return waited;
        }
        waited = waited || !phase.on;
        std::this_thread::sleep_until(step.start +
                                      std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(phase.nextEdge)));
    }
}

// What one step found: the processors it blames, and whether a worker hung.
struct StepFindings {
    std::set<int> failed;
    bool stalled = false;
};

// "0 and 1", "0, 2 and 3": processors as a sentence lists them.
std::string Listed(const std::vector<int>& processors) {
    std::string text;
    for (std::size_t i = 0; i < processors.size(); ++i) {
        if (i) text += i + 1 == processors.size() ? " and " : ", ";
        text += std::to_string(processors[i]);
    }
    return text;
}

// "processors 0 and 1 disagree; no majority", or with larger sides
// "processors 0, 2 | 1, 3 disagree; no majority".
std::string NoMajority(const std::vector<std::vector<int>>& sides) {
    bool single = true;
    for (const auto& side : sides) single = single && side.size() == 1;
    std::string text = "processors ";
    if (single) {
        std::vector<int> all;
        all.reserve(sides.size());
        for (const auto& side : sides) all.push_back(side.front());
        text += Listed(all);
    } else {
        for (std::size_t i = 0; i < sides.size(); ++i) {
            if (i) text += " | ";
            for (std::size_t k = 0; k < sides[i].size(); ++k)
                text += (k ? ", " : "") + std::to_string(sides[i][k]);
        }
    }
    return text + " disagree; no majority";
}

struct StepOutcome {
    RunResult run;
    std::shared_ptr<StepWatch> watch;
    std::vector<int> processors;  // each worker's pin
    bool tooHot = false;
    std::string stepId;  // in the journal
    SweepTally tally;    // the sweep's own steps: this step's cells
    std::map<int, std::uint64_t> digests;
    MachineCheckCounts checksBefore, checksAfter;
};

class Sweeper {
public:
    Sweeper(const RunSetup& setup, const SweepOptions& options, std::ostream& out,
            const std::atomic<bool>& interrupt, const SweepSeams& seams,
            std::shared_ptr<SweepJournal> journal, const JournalContents* resumed)
        : setup_(setup),
          options_(options),
          out_(out),
          interrupt_(interrupt),
          seams_(seams),
          monitor_(seams.temperatures, options.maxTempCelsius),
          journal_(std::move(journal)),
          resumed_(resumed),
          commandLine_(options.commandLine) {
        if (resumed_) {
            // The plan is the stream's, whatever this command line says.
            options_.regimes = resumed_->regimes;
            options_.seconds = std::max(1u, resumed_->seconds);
            options_.retests = resumed_->retests;
        }
    }

    SweepResult Run();

private:
    StepOutcome RunStep(const SweepStep& step, const JournalKey& key);
    StepFindings Account(const SweepStep& step, unsigned retest, StepOutcome& outcome);
    void AccountChecks(const SweepStep& step, unsigned retest, StepOutcome& outcome,
                       StepFindings& findings);
    void CheckFailure(SweepTally* tally, const std::string& stepId, Regime regime, unsigned retest,
                      const std::vector<int>& processors, const std::string& load, const char* kind,
                      const std::string& text);
    void EndStep(const StepOutcome& outcome, const StepFindings& findings, unsigned retest);
    void Restore();
    void EndJournal();
    void CompareAcrossProcessors();
    void CheckExpectedDigestsRan();
    RetestVerdict RetestFailure(int processor, const SweepStep& step, Regime charged, bool allCore,
                                bool& tooHot);
    void Progress(const SweepStep& step, unsigned retest, const StepOutcome& outcome);
    void NoteTemperature(unsigned retest, StepOutcome& outcome, StepWatch& watch);

    const RunSetup& setup_;
    SweepOptions options_;
    std::ostream& out_;
    const std::atomic<bool>& interrupt_;
    const SweepSeams& seams_;
    TemperatureMonitor monitor_;
    Clock::time_point nextTemperature_;  // read about once a second, across steps
    Clock::time_point temperatureReadAt_;
    SweepResult result_;
    std::set<std::string> computed_;         // loads some step computed a first cycle of
    std::shared_ptr<SweepJournal> journal_;  // may be null
    const JournalContents* resumed_;         // the earlier sessions; may be null
    std::string commandLine_;

    std::string LoadOf(Regime regime) const {
        const auto it = result_.loads.find(regime);
        return it == result_.loads.end() ? "none" : it->second;
    }
};

StepOutcome Sweeper::RunStep(const SweepStep& step, const JournalKey& key) {
    const unsigned retest = key.retest;
    StepOutcome outcome;
    outcome.processors =
        step.processor == kAllProcessors ? setup_.processors : std::vector<int>{step.processor};
    RunSetup setup = setup_;
    setup.options.seconds = 0;  // the slot ends the step, to the millisecond
    setup.options.stopOnError = setup_.options.stopOnError && retest == 0;
    setup.workers.clear();
    const RegisteredLoad* load = RegimeLoad(setup_, step.regime);
    if (!load) return outcome;
    const Isa isa =
        LoadIsa(*load->descriptor, setup_.machineIsas, setup_.options.isa).value_or(Isa::Base);
    for (int processor : outcome.processors) setup.workers.push_back({load, isa, processor});
    const std::string name = JournalStepName(key, RoutineName(*load));
    if (!setup_.options.quiet) out_ << "Step: " << name << "\n" << std::flush;
    if (journal_) outcome.stepId = journal_->StepStart(key, RoutineName(*load));

    auto watch = std::make_shared<StepWatch>();
    for (std::size_t i = 0; i < outcome.processors.size(); ++i)
        watch->workers.push_back(
            std::make_unique<WorkerWatch>(ClockSampler::DefaultMeasure(), result_.slotSeconds));
    watch->slot = result_.slotSeconds;
    watch->bursts = step.regime == Regime::Bursts;
    watch->seen = seams_.processorSeen;
    watch->pins = outcome.processors;
    watch->regime = step.regime;
    watch->retest = retest;
    for (int p : outcome.processors)
        if (const ProcessorPlace* place = result_.topology.Find(p))
            watch->apicIds[p] = place->apicId;
    watch->journal = journal_;
    watch->stepId = outcome.stepId;
    // A step shorter than the reading interval still gets the latest reading.
    NoteTemperature(retest, outcome, *watch);

    RunSeams seams;
    for (const SweepFault& f : seams_.faults) {
        if (f.regime != step.regime || f.retest != retest) continue;
        for (std::size_t i = 0; i < outcome.processors.size(); ++i)
            if (outcome.processors[i] == f.processor) seams.faults.push_back({i, f.cycle, f.fault});
    }
    const std::vector<int> pins = outcome.processors;
    seams.stallAfter = seams_.stallAfter;
    const auto hook = seams_.beforeCycle;
    const Regime regime = step.regime;
    seams.beforeCycle = [watch, pins, hook, regime, retest](std::size_t i, std::uint64_t cycle) {
        if (hook) hook(pins[i], regime, retest, cycle);
        WorkerWatch& w = *watch->workers[i];
        w.sampler.Poll(Clock::now());
        // The gate after the sample, so that the sample does not eat an on phase.
        if (watch->bursts) {
            const bool afterOff = WaitForBurst(*watch, w);
            const double t = std::chrono::duration<double>(Clock::now() - watch->start).count();
            w.bursts.Begin(t, afterOff);
        }
        w.before = watch->seen(pins[i], cycle, false);
    };
    seams.afterCycle = [watch, regime](std::size_t i, std::uint64_t cycle,
                                       const WorkerState& state) {
        WorkerWatch& w = *watch->workers[i];
        if (watch->bursts)
            w.bursts.End(std::chrono::duration<double>(Clock::now() - watch->start).count());
        const std::uint64_t errors = state.errorCycles.load(std::memory_order_relaxed);
        const bool failed = errors > w.errorCyclesSeen;
        w.errorCyclesSeen = errors;
        const int pinned = state.pinnedProcessor.load();
        // A failing cycle's clock is measured now, not taken from a sample up to
        // a second old; a measurement that lost the processor is tried again.
        double hz = failed ? 0 : w.sampler.LastHz();
        for (int tries = 0; failed && hz <= 0 && tries < 3; ++tries) hz = w.measure();
        if (failed) AwaitFreshTemperature(*watch);
        const CycleNote note{cycle,
                             {pinned, w.before, watch->seen(pinned, cycle, true)},
                             failed,
                             hz > 0 ? hz : w.sampler.LastHz(),
                             Clock::now()};
        w.cycles.AddCycle(regime, note.place, failed);
        if (failed || cycle == 1) w.notes.push_back(note);
        if (failed) TakeNewErrors(*watch, i, state);
    };
    seams.until = [&, watch](const RunResult&) {
        JournalSamples(*watch);
        const Clock::time_point now = Clock::now();
        if (now >= nextTemperature_ || watch->wantTemperature.exchange(false)) {
            nextTemperature_ = now + std::chrono::seconds(1);
            if (monitor_.Tick()) outcome.tooHot = true;
            temperatureReadAt_ = now;
            NoteTemperature(retest, outcome, *watch);
        }
        return outcome.tooHot ||
               std::chrono::duration<double>(now - watch->start).count() >= watch->slot;
    };
    outcome.checksBefore = seams_.machineChecks();
    watch->start = Clock::now();
    std::ostringstream quiet;
    outcome.run = RunStress(setup, quiet, false, interrupt_, seams);
    JournalSamples(*watch);
    outcome.checksAfter = seams_.machineChecks();
    outcome.watch = watch;
    return outcome;
}

void Sweeper::NoteTemperature(unsigned retest, StepOutcome& outcome, StepWatch& watch) {
    const auto c = monitor_.Latest().celsius;
    watch.celsius = c ? *c : std::nan("");
    watch.celsiusAt = temperatureReadAt_.time_since_epoch().count();
    ++watch.celsiusReadings;
    if (journal_ && !outcome.stepId.empty() && c) journal_->Sample(outcome.stepId, -1, 0, c);
    if (!c || retest != 0) return;
    for (int processor : outcome.processors)
        outcome.tally.AddTemperature(watch.regime, processor, *c);
}

StepFindings Sweeper::Account(const SweepStep& step, unsigned retest, StepOutcome& outcome) {
    StepFindings findings;
    const RunResult& run = outcome.run;
    for (std::size_t i = 0; i < run.workers.size(); ++i) {
        const WorkerState& state = *run.workers[i];
        const int pin = outcome.processors[i];
        if (state.stalled) {
            findings.stalled = true;
            findings.failed.insert(pin);
            if (retest == 0) outcome.tally.At(pin, step.regime).stalled = true;
            SweepError error;
            error.processor = pin;
            error.load = RoutineName(*state.load);
            error.regime = step.regime;
            error.retest = retest;
            error.cycle = state.cycles + 1;
            error.kind = "stalled";
            error.text = "Stalled: worker " + std::to_string(i + 1) + " (" + WorkerLabel(state) +
                         ", cpu " + std::to_string(pin) + ") finished no cycle within " +
                         std::to_string(seams_.stallAfter.count()) + " ms";
            if (journal_) journal_->Error(outcome.stepId, error);
            result_.errors.push_back(std::move(error));
        }
        if (!state.finished) continue;  // a stalled worker's notes are still being written
        if (state.errorCycles > 0) findings.failed.insert(pin);
        // Records made after the last cycle (the first cycle's late verdict) are taken now.
        TakeNewErrors(*outcome.watch, i, state);
        const WorkerWatch& w = *outcome.watch->workers[i];
        if (retest == 0) {
            outcome.tally.Merge(w.cycles);
            for (double hz : w.sampler.SamplesHz()) outcome.tally.AddClock(step.regime, pin, hz);
            outcome.tally.At(pin, step.regime).clocksDiscarded += w.sampler.Discarded();
            if (outcome.watch->bursts) {
                const double covered = std::min(outcome.watch->slot, outcome.run.elapsedSeconds);
                outcome.tally.At(pin, step.regime).bursts = w.bursts.Achieved(covered);
            }
        }
        result_.errors.insert(result_.errors.end(), w.errors.begin(), w.errors.end());
        // The first cycle's cross-core verdict can come after the cycle's end.
        if (retest == 0 && state.errorCycles > w.errorCyclesSeen)
            outcome.tally.AddCycle(step.regime, {pin, -1, -1}, true);
    }
    if (retest == 0) {
        for (int p : outcome.processors) {
            const auto rise = MachineCheckRise(outcome.checksBefore, outcome.checksAfter, p);
            if (rise) outcome.tally.At(p, step.regime).machineChecks = *rise;
            result_.machineChecksReadable = result_.machineChecksReadable || rise.has_value();
        }
    }
    AccountChecks(step, retest, outcome, findings);
    return findings;
}

// The step's end in the journal, and its cells into the sweep's.
void Sweeper::EndStep(const StepOutcome& outcome, const StepFindings& findings, unsigned retest) {
    const char* status =
        findings.stalled || outcome.run.interrupted || outcome.tooHot ? "ERROR" : "COMPLETE";
    if (journal_ && !outcome.stepId.empty())
        journal_->StepEnd(outcome.stepId, outcome.tally, outcome.digests, !findings.failed.empty(),
                          status);
    if (retest == 0) result_.tally.Merge(outcome.tally);
}

// The step's run-level checks, as an ordinary run makes them: a disagreement
// without a majority, an expected digest missed, a known answer missed.
void Sweeper::AccountChecks(const SweepStep& step, unsigned retest, StepOutcome& outcome,
                            StepFindings& findings) {
    for (const RoutineCheck& c : outcome.run.checks) {
        if (c.workers.empty()) continue;  // an expected digest of a load this step did not run
        std::vector<int> processors;
        for (std::size_t worker : c.workers) processors.push_back(outcome.processors[worker]);
        const std::string load = RoutineName(*c.load);
        const bool computed = c.outcome && c.outcome->ballots > 0;
        if (computed) computed_.insert(load);
        if (retest == 0 && computed && c.outcome->majority && processors.size() == 1) {
            result_.digests[step.regime][processors.front()] = c.outcome->digest;
            outcome.digests[processors.front()] = c.outcome->digest;
        }
        std::string text;
        const char* kind = nullptr;
        if (c.Disagreement()) {
            std::vector<std::vector<int>> sides;
            for (const auto& group : c.outcome->groups) {
                sides.emplace_back();
                for (std::size_t worker : group) sides.back().push_back(outcome.processors[worker]);
            }
            kind = "disagreement";
            text = load + ": " + NoMajority(sides);
        } else if (computed && c.DigestDiffers()) {
            kind = "digest";
            text = load + ": expected digest " + Hex64(*c.expectedDigest) + ", computed " +
                   (c.outcome->majority ? Hex64(c.outcome->digest) : std::string("no majority"));
        } else if (c.KnownDiffers()) {
            kind = "known-answer";
            text = load + ": computed " + Hex64(c.outcome->digest) + ", the known answer is " +
                   Hex64(c.knownDigest);
        }
        if (!kind) continue;
        CheckFailure(&outcome.tally, outcome.stepId, step.regime, retest, processors, load, kind,
                     text);
        findings.failed.insert(processors.begin(), processors.end());
    }
}

void Sweeper::CheckFailure(SweepTally* tally, const std::string& stepId, Regime regime,
                           unsigned retest, const std::vector<int>& processors,
                           const std::string& load, const char* kind, const std::string& text) {
    SweepError error;
    if (processors.size() == 1) {
        error.processor = processors.front();
        if (const ProcessorPlace* place = result_.topology.Find(error.processor))
            error.apicId = place->apicId;
    } else {
        error.processors = processors;
    }
    error.load = load;
    error.regime = regime;
    error.retest = retest;
    error.kind = kind;
    error.text = text;
    if (journal_ && !stepId.empty()) journal_->Error(stepId, error);
    if (journal_ && stepId.empty()) journal_->RunError(std::string(kind) + "-mismatch", text);
    result_.errors.push_back(std::move(error));
    if (retest == 0 && tally)
        for (int p : processors) ++tally->At(p, regime).failedChecks;
}

// Every processor runs the same load on the same data in each regime, so their
// first cycles must agree: a processor wrong the same way in both passes shows
// here even where the load knows no answer (the light regime).
void Sweeper::CompareAcrossProcessors() {
    for (const auto& [regime, byProcessor] : result_.digests) {
        std::map<std::uint64_t, std::vector<int>> byDigest;
        for (const auto& [processor, digest] : byProcessor) byDigest[digest].push_back(processor);
        if (byDigest.size() < 2) continue;
        std::vector<std::pair<std::uint64_t, std::vector<int>>> sides(byDigest.begin(),
                                                                      byDigest.end());
        std::stable_sort(sides.begin(), sides.end(), [](const auto& a, const auto& b) {
            return a.second.size() > b.second.size();
        });
        const std::string load = LoadOf(regime);
        if (sides.front().second.size() * 2 > byProcessor.size()) {
            for (std::size_t i = 1; i < sides.size(); ++i) {
                for (int p : sides[i].second) {
                    CheckFailure(&result_.tally, {}, regime, 0, {p}, load, "cross-processor",
                                 load + ": cpu " + std::to_string(p) + " computed " +
                                     Hex64(sides[i].first) + ", processors " +
                                     Listed(sides.front().second) + " agree on " +
                                     Hex64(sides.front().first));
                }
            }
        } else {
            std::vector<std::vector<int>> groups;
            std::vector<int> all;
            for (const auto& side : sides) {
                groups.push_back(side.second);
                all.insert(all.end(), side.second.begin(), side.second.end());
            }
            CheckFailure(&result_.tally, {}, regime, 0, all, load, "cross-processor",
                         load + ": " + NoMajority(groups));
        }
    }
}

// An expected digest that no step computed fails the sweep, as it fails a run.
void Sweeper::CheckExpectedDigestsRan() {
    for (const auto& [routine, digest] : setup_.options.expectDigests) {
        if (computed_.count(routine)) continue;
        SweepError error;
        error.load = routine;
        error.kind = "digest";
        error.text = routine + ": expected digest " + Hex64(digest) +
                     ", but no step of the sweep computed one";
        if (journal_) journal_->RunError("digest-not-computed", error.text);
        result_.errors.push_back(std::move(error));
    }
}

void Sweeper::Progress(const SweepStep& step, unsigned retest, const StepOutcome& outcome) {
    if (setup_.options.quiet) return;
    std::uint64_t cycles = 0, errors = 0;
    for (const auto& w : outcome.run.workers) {
        cycles += w->cycles;
        errors += w->errorCycles;
    }
    out_ << (step.processor == kAllProcessors ? std::string("all cpus")
                                              : "cpu " + std::to_string(step.processor))
         << " " << RegimeName(step.regime);
    if (retest) out_ << " (retest " << retest << ")";
    out_ << ": " << cycles << " cycles, " << errors << " errors, " << monitor_.Latest().Text()
         << "\n"
         << std::flush;
}

// Repeats of one failure; a repeat that cannot run (interrupted, too hot, a
// hung worker, --stop-on-error) is not run, never a pass. A repeat an earlier
// session ran counts as it ended there; one the machine never came back from
// counts as failed and is not run again.
RetestVerdict Sweeper::RetestFailure(int processor, const SweepStep& step, Regime charged,
                                     bool allCore, bool& tooHot) {
    return Retest(options_.retests, [&](unsigned repeat) -> std::optional<bool> {
        const JournalKey key{processor, charged, repeat + 1, allCore};
        if (const JournalStep* done = resumed_ ? resumed_->Find(key) : nullptr) {
            bool failed = !done->ended;
            for (const SweepError& e : done->errors) {
                failed = failed || e.processor == processor ||
                         std::find(e.processors.begin(), e.processors.end(), processor) !=
                             e.processors.end();
            }
            return failed;
        }
        if (interrupt_.load() || tooHot || result_.stalled || setup_.options.stopOnError)
            return std::nullopt;
        StepOutcome outcome = RunStep(step, key);
        const SweepStep accounted{step.processor, charged, 0};
        const StepFindings findings = Account(accounted, repeat + 1, outcome);
        EndStep(outcome, findings, repeat + 1);
        Progress(step, repeat + 1, outcome);
        tooHot = outcome.tooHot;
        result_.stalled = result_.stalled || findings.stalled;
        if (outcome.run.interrupted && findings.failed.empty()) return std::nullopt;
        return findings.failed.count(processor) > 0;
    });
}

// The earlier sessions' steps: their cells, digests and errors, and the step
// each left open, which the machine never came back from.
void Sweeper::Restore() {
    result_.resumedStart = resumed_->start;
    for (const JournalStep& step : resumed_->steps) {
        result_.errors.insert(result_.errors.end(), step.errors.begin(), step.errors.end());
        if (step.key.retest == 0) {
            ++result_.stepsRun;
            result_.tally.Merge(step.tally);
            for (const auto& [processor, digest] : step.digests) {
                result_.digests[step.key.regime][processor] = digest;
                computed_.insert(step.load);
            }
        }
        if (step.ended) continue;
        const std::vector<int> processors = step.key.processor == kAllProcessors || step.key.allCore
                                                ? setup_.processors
                                                : std::vector<int>{step.key.processor};
        SweepError error;
        if (processors.size() == 1)
            error.processor = processors.front();
        else
            error.processors = processors;
        error.load = step.load;
        error.regime = step.key.regime;
        error.retest = step.key.retest;
        error.kind = "machine-stopped";
        error.temperatureC = step.lastCelsius;
        std::string clocks;
        for (const auto& [processor, hz] : step.lastClockHz) {
            char text[48];
            std::snprintf(text, sizeof text, "%scpu %d %.2f GHz", clocks.empty() ? "" : ", ",
                          processor, hz / 1e9);
            clocks += text;
            if (processor == error.processor) error.clockHz = hz;
        }
        // A pointer to the literal, not an array filled from it: the compiler
        // would store the text in immediate pieces that read as misspellings.
        const char* lastTemperature = "not available";
        char celsius[24];
        if (step.lastCelsius) {
            std::snprintf(celsius, sizeof celsius, "%.1f C", *step.lastCelsius);
            lastTemperature = celsius;
        }
        error.text = "the machine stopped in this step (it began and never ended); last clock " +
                     (clocks.empty() ? std::string("not measured") : clocks) +
                     ", last temperature " + lastTemperature;
        if (step.key.retest == 0)
            for (int p : processors) result_.tally.At(p, step.key.regime).machineStopped = true;
        if (journal_) {
            journal_->Error(step.id, error);
            journal_->StepEnd(step.id, {}, {}, true, "ERROR");
        }
        result_.errors.push_back(std::move(error));
    }
}

// What ended the sweep besides its steps, and its end, agreeing with the status.
void Sweeper::EndJournal() {
    if (!journal_) return;
    for (const auto& [regime, cell] : result_.tally.Migrated()) {
        if (cell.errorCycles == 0) continue;
        journal_->RunError("migrated-cycle-failed",
                           std::to_string(cell.errorCycles) + " failing cycle(s) of " +
                               RegimeName(regime) + " migrated and are charged to no processor");
    }
    if (!result_.stopMessage.empty()) journal_->RunError("stopped", result_.stopMessage);
    if (result_.interrupted)
        journal_->RunError("interrupted", "interrupted before the sweep ended");
    const bool cutShort = result_.status == kExitCouldNotRun || result_.interrupted ||
                          !result_.stopMessage.empty() || result_.stalled;
    journal_->End(cutShort ? "ERROR" : "COMPLETE", result_.status == kExitClean ? "PASS"
                                                   : result_.status == kExitErrors
                                                       ? "FAIL"
                                                       : "NOT_APPLICABLE");
}

SweepResult Sweeper::Run() {
    result_.startTime = std::chrono::system_clock::now();
    result_.slotSeconds = seams_.slotSeconds ? *seams_.slotSeconds : options_.seconds;
    result_.topology = ReadTopology(setup_.processors);
    for (Regime regime : AllRegimes()) {
        const RegisteredLoad* load = RegimeLoad(setup_, regime);
        result_.loads[regime] = load ? RoutineName(*load) : "none";
        if (load) {
            const auto isa = LoadIsa(*load->descriptor, setup_.machineIsas, setup_.options.isa);
            result_.isas[regime] = IsaName(isa.value_or(Isa::Base));
        }
    }
    monitor_.Tick();
    temperatureReadAt_ = Clock::now();
    nextTemperature_ = temperatureReadAt_ + std::chrono::seconds(1);
    if (!monitor_.UnwatchableMessage().empty()) {
        result_.stopMessage = monitor_.UnwatchableMessage();
        result_.status = kExitCouldNotRun;
        return result_;
    }
    if (resumed_)
        Restore();
    else if (journal_)
        journal_->Begin(setup_, options_, result_.slotSeconds, commandLine_);
    const std::vector<SweepStep> plan =
        PlanSweep(setup_.processors, options_.regimes, options_.seconds);
    result_.stepsPlanned = static_cast<unsigned>(plan.size());
    bool anyStarted = resumed_ && !resumed_->steps.empty(), tooHot = false, stopped = false;
    for (const SweepStep& step : plan) {
        if (interrupt_.load() || tooHot || stopped) break;
        const JournalKey key{step.processor, step.regime, 0, false};
        if (resumed_ && resumed_->Find(key)) continue;  // done, or the machine stopped in it
        StepOutcome outcome = RunStep(step, key);
        ++result_.stepsRun;
        const StepFindings findings = Account(step, 0, outcome);
        EndStep(outcome, findings, 0);
        Progress(step, 0, outcome);
        for (const auto& w : outcome.run.workers) anyStarted = anyStarted || w->started;
        tooHot = outcome.tooHot;
        result_.interrupted = outcome.run.interrupted || interrupt_.load();
        // A hung worker still holds its processor: nothing measured after it means much.
        result_.stalled = findings.stalled;
        stopped = findings.stalled || (setup_.options.stopOnError && !findings.failed.empty());
    }
    CompareAcrossProcessors();
    if (!stopped && !result_.interrupted && !tooHot) CheckExpectedDigestsRan();
    // Each failure again as long as its slot: alone, and an all-core failure
    // also all-core again, since some faults need every core's heat and current.
    for (const SweepTally::Key& failure : result_.tally.Failures()) {
        if (options_.retests == 0) break;
        const int processor = failure.first;
        const Regime regime = failure.second;
        const bool allCore = regime == Regime::AllCore;
        const SweepStep alone{processor, allCore ? Regime::Heavy : regime, 0};
        RetestOutcome retest{processor, regime, LoadOf(alone.regime), false, {}};
        retest.verdict = RetestFailure(processor, alone, regime, false, tooHot);
        result_.retests.push_back(retest);
        if (allCore) {
            RetestOutcome again{processor, regime, LoadOf(regime), true, {}};
            again.verdict = RetestFailure(processor, SweepStep{kAllProcessors, regime, 0}, regime,
                                          true, tooHot);
            result_.retests.push_back(again);
        }
    }
    result_.highestCelsius = monitor_.Highest();
    result_.endTime = std::chrono::system_clock::now();
    bool failed = result_.stalled;
    for (const auto& [key, cell] : result_.tally.Cells()) failed = failed || cell.Failed();
    for (const auto& [regime, cell] : result_.tally.Migrated())
        failed = failed || cell.errorCycles > 0;
    for (const SweepError& e : result_.errors) failed = failed || e.retest == 0;
    if (!anyStarted) {
        result_.status = kExitCouldNotRun;
    } else if (failed) {
        result_.status = kExitErrors;
    } else if (result_.interrupted) {
        result_.status = kExitInterrupted;
    }
    if (tooHot) {
        result_.stopMessage = monitor_.StopMessage();
        result_.status = StatusStoppedHot(result_.status);
    }
    EndJournal();
    return result_;
}

}  // namespace

int SweepSeams::CurrentProcessorSeen(int, std::uint64_t, bool) {
    return CurrentProcessor();
}

std::variant<std::vector<int>, std::string> ChooseProcessors(const std::vector<int>& usable,
                                                             const StressOptions& options,
                                                             const Topology& topology) {
    std::vector<int> chosen;
    for (int p : options.cpus) {
        if (std::find(usable.begin(), usable.end(), p) == usable.end())
            return "--cpus: processor " + std::to_string(p) +
                   " is not usable here (usable: " + Listed(usable) + ")";
        chosen.push_back(p);
    }
    if (options.cpus.empty()) chosen = usable;
    if (!options.onePerCore) return chosen;
    std::vector<int> onePerCore;
    std::set<std::pair<int, int>> cores;  // package, core
    for (int p : chosen) {
        const ProcessorPlace* place = topology.Find(p);
        if (!place || place->core < 0 || cores.insert({place->package, place->core}).second)
            onePerCore.push_back(p);
    }
    return onePerCore;
}

const RegisteredLoad* RegimeLoad(const RunSetup& setup, Regime regime) {
    const LoadRegistry& registry = *setup.registry;
    if (regime == Regime::Light) return FindDialogLoad(registry, ComplexMathWorker);
    const std::vector<const RegisteredLoad*> chosen = ChosenLoads(setup);
    if (!setup.options.loads.empty() && !chosen.empty()) return chosen.front();
    // The most arithmetic per cycle among the loads with results to verify; the
    // dialog's matrix routine (first in the registry) where none counts any.
    const RegisteredLoad* heaviest = nullptr;
    for (const RegisteredLoad& row : registry) {
        const LoadDescriptor& d = *row.descriptor;
        if (d.layout.size() == 0 || !LoadIsa(d, setup.machineIsas, setup.options.isa)) continue;
        if (!heaviest || d.flopsPerCycle > heaviest->descriptor->flopsPerCycle) heaviest = &row;
    }
    return heaviest;
}

std::variant<SweepOptions, UsageError> ExtractSweepOptions(std::vector<std::string>& args) {
    SweepOptions options;
    bool sweepOnly = false;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--sweep") {
            options.sweep = true;
        } else if (arg == "--sweep-seconds" || arg == "--retest" || arg == "--max-temp") {
            const std::optional<unsigned long> value =
                hasValue ? Whole(args[i + 1], arg == "--sweep-seconds" ? 1 : 0,
                                 arg == "--max-temp" ? 150 : 86400)
                         : std::nullopt;
            if (!value) {
                return UsageError{arg + " needs a whole number" +
                                  (arg == "--max-temp"        ? " of degrees, up to 150"
                                   : arg == "--sweep-seconds" ? " of seconds, 1 or more"
                                                              : "")};
            }
            sweepOnly = sweepOnly || arg != "--max-temp";
            if (arg == "--sweep-seconds") options.seconds = static_cast<unsigned>(*value);
            if (arg == "--retest") options.retests = static_cast<unsigned>(*value);
            if (arg == "--max-temp") options.maxTempCelsius = static_cast<double>(*value);
            ++i;
        } else if (arg == "--resume") {
            if (!hasValue || args[i + 1].empty()) return UsageError{"--resume needs a file"};
            options.resumePath = args[++i];
            options.sweep = true;
        } else if (arg == "--regimes") {
            if (!hasValue) return UsageError{"--regimes needs a list"};
            auto parsed = ParseRegimes(args[++i]);
            if (auto* error = std::get_if<std::string>(&parsed)) return UsageError{*error};
            options.regimes = std::get<std::vector<Regime>>(parsed);
            sweepOnly = true;
        } else {
            rest.push_back(arg);
        }
    }
    if (sweepOnly && !options.sweep)
        return UsageError{"--sweep-seconds, --regimes and --retest belong to --sweep"};
    args = std::move(rest);
    return options;
}

SweepResult RunSweep(const RunSetup& setup, const SweepOptions& options, std::ostream& out,
                     const std::atomic<bool>& interrupt, const SweepSeams& seams,
                     std::shared_ptr<SweepJournal> journal, const JournalContents* resumed) {
    return Sweeper(setup, options, out, interrupt, seams, std::move(journal), resumed).Run();
}
