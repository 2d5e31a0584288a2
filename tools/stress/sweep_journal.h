// The sweep's OCP stream written as the sweep goes, so that a machine that
// freezes or reboots mid-step still leaves on disk which step it was in, and
// read back by --resume to go on from there.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/stress/sweep.h"

// Which step of a sweep: one of its plan, or one repeat of a failure's retest.
struct JournalKey {
    int processor = kAllProcessors;  // the step's processor; a retest's failing one
    Regime regime = Regime::Light;   // a retest: the regime its failure was found in
    unsigned retest = 0;             // 0: the sweep itself, else the repeat's number
    bool allCore = false;            // a retest run on every processor again
    bool operator<(const JournalKey& o) const;
};

// "cpu 0 light: complex-math", "all cpus all-core: fma-add",
// "retest 2 of cpu 1 all-core, on every processor: fma-add"
std::string JournalStepName(const JournalKey& key, const std::string& load);

// Everything one step wrote, as the next session needs it.
struct JournalStep {
    std::string id;
    JournalKey key;
    std::string load;
    bool ended = false;
    bool failed = false;                // a FAIL diagnosis
    std::map<int, double> lastClockHz;  // by processor, the latest sample written
    std::optional<double> lastCelsius;
    SweepTally tally;                      // its cells, migrated cycles included
    std::map<int, std::uint64_t> digests;  // by processor, a one-processor step's first cycle
    std::vector<SweepError> errors;
};

struct JournalContents {
    bool ended = false;  // testRunEnd was written: nothing is left to do
    std::string result;  // its result, when ended
    std::string start;   // the testRunStart's timestamp
    unsigned long nextSequence = 0;
    unsigned nextStepId = 1;
    std::uintmax_t wholeBytes = 0;  // up to the end of the last whole line
    std::vector<Regime> regimes;
    unsigned seconds = 0;
    unsigned retests = 0;
    std::vector<JournalStep> steps;
    const JournalStep* Find(const JournalKey& key) const;
};

// Reads a stream this program wrote. A last line cut short (a crash leaves
// one) is left out; anything else that is not such a stream is refused with
// "NAME line N: why". Never throws for any input.
std::variant<JournalContents, std::string> ReadSweepJournal(std::istream& in,
                                                            const std::string& name);

// Writes the stream line by line. Each line goes to `sink`; `sync` true asks
// the sink to put it on the disk before answering (step boundaries, errors,
// samples). Safe to call from several threads.
class SweepJournal {
public:
    using Sink = std::function<void(const std::string& line, bool sync)>;
    explicit SweepJournal(Sink sink) : sink_(std::move(sink)) {}
    // Continue a stream read back: numbering goes on after its last line.
    void ContinueAfter(const JournalContents& contents);

    void Begin(const RunSetup& setup, const SweepOptions& options, double slotSeconds,
               const std::string& commandLine);
    std::string StepStart(const JournalKey& key, const std::string& load);
    // The processor's clock and temperature now (either may be absent).
    void Sample(const std::string& step, int processor, double clockHz,
                std::optional<double> celsius);
    void Error(const std::string& step, const SweepError& error);
    // The step's cells and first-cycle digests, its verdict and its end.
    void StepEnd(const std::string& step, const SweepTally& cells,
                 const std::map<int, std::uint64_t>& digests, bool failed, const char* status);
    void RunError(const std::string& symptom, const std::string& message);
    void End(const char* status, const char* result);

private:
    void Emit(const char* kind, nlohmann::ordered_json body, bool sync);
    void Step(const std::string& id, const char* kind, nlohmann::ordered_json body, bool sync);

    Sink sink_;
    std::mutex mutex_;  // workers write their errors while the sweep writes the rest
    unsigned long sequence_ = 0;
    unsigned nextStep_ = 1;
};

// The JSON of an error in the report and the stream, and back.
nlohmann::ordered_json SweepErrorJson(const SweepError& error);
std::optional<SweepError> SweepErrorFromJson(const nlohmann::json& json);
// Each rate step of a bursts cell, planned and achieved, in the report and the stream.
nlohmann::ordered_json BurstsJson(const std::vector<BurstAchieved>& bursts);
