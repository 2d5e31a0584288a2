// The stream is the only record a crashed sweep leaves, so everything the
// next session needs goes into it: each step's cells as measurement metadata,
// each error in full. Reading it back trusts nothing: every field is checked.
#include "tools/stress/sweep_journal.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <tuple>

#include "tools/stress/ocp.h"
#include "tools/stress/report.h"

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

ordered_json Nullable(const std::optional<double>& value) {
    return value ? ordered_json(*value) : ordered_json(nullptr);
}

std::optional<Regime> RegimeNamed(const std::string& name) {
    for (Regime regime : AllRegimes())
        if (name == RegimeName(regime)) return regime;
    return std::nullopt;
}

// Checked reads of one field; empty when it is missing or of another type.
const json* Field(const json& object, const char* key) {
    if (!object.is_object()) return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

std::optional<std::string> Text(const json& object, const char* key) {
    const json* f = Field(object, key);
    if (!f || !f->is_string()) return std::nullopt;
    return f->get<std::string>();
}

std::optional<std::uint64_t> Whole(const json& object, const char* key) {
    const json* f = Field(object, key);
    if (!f || !f->is_number_unsigned()) return std::nullopt;
    return f->get<std::uint64_t>();
}

std::optional<double> Number(const json& object, const char* key) {
    const json* f = Field(object, key);
    if (!f || !f->is_number()) return std::nullopt;
    return f->get<double>();
}

// A number or null: the outer optional is empty when it is neither.
std::optional<std::optional<double>> NumberOrNull(const json& object, const char* key) {
    const json* f = Field(object, key);
    if (f && f->is_null()) return std::optional<double>{};
    if (f && f->is_number()) return std::optional<double>{f->get<double>()};
    return std::nullopt;
}

// A processor number or null (none, as for migrated cycles).
std::optional<int> ProcessorOrNone(const json& object, const char* key) {
    const json* f = Field(object, key);
    if (f && f->is_null()) return kUnknownProcessor;
    if (f && f->is_number_unsigned() && f->get<std::uint64_t>() < 1u << 20)
        return static_cast<int>(f->get<std::uint64_t>());
    return std::nullopt;
}

std::optional<std::uint64_t> Digest(const std::string& hex) {
    if (hex.size() != 18 || hex.compare(0, 2, "0x") != 0 ||
        hex.find_first_not_of("0123456789abcdef", 2) != std::string::npos)
        return std::nullopt;
    return std::strtoull(hex.c_str() + 2, nullptr, 16);
}

// Reads a step's name piece by piece; plain code rather than <regex>, whose
// backtracking a damaged stream should never drive.
class NameReader {
public:
    explicit NameReader(const std::string& text) : rest_(text) {}

    bool Eat(std::string_view literal) {
        if (rest_.substr(0, literal.size()) != literal) return false;
        rest_.remove_prefix(literal.size());
        return true;
    }
    // One to six decimal digits.
    std::optional<int> Number() {
        std::size_t n = 0;
        while (n < rest_.size() && n < 7 && rest_[n] >= '0' && rest_[n] <= '9') ++n;
        if (n == 0 || n > 6) return std::nullopt;
        const int value = std::stoi(std::string(rest_.substr(0, n)));
        rest_.remove_prefix(n);
        return value;
    }
    // One or more of a-z and '-'.
    std::optional<std::string> Word() {
        std::size_t n = 0;
        while (n < rest_.size() && ((rest_[n] >= 'a' && rest_[n] <= 'z') || rest_[n] == '-')) ++n;
        if (n == 0) return std::nullopt;
        std::string word(rest_.substr(0, n));
        rest_.remove_prefix(n);
        return word;
    }
    // The rest of the line: at least one character, none a line break.
    std::optional<std::string> Rest() {
        if (rest_.empty() || rest_.find_first_of("\r\n") != std::string_view::npos)
            return std::nullopt;
        return std::string(rest_);
    }

private:
    std::string_view rest_;
};

std::optional<JournalKey> ParseStepName(const std::string& name, std::string& load) {
    JournalKey key;
    std::optional<std::string> regime, rest;
    NameReader r(name);
    if (r.Eat("retest ")) {
        // "retest K of cpu P REGIME, alone|on every processor: LOAD"
        const auto k = r.Number();
        if (!k || *k == 0 || !r.Eat(" of cpu ")) return std::nullopt;
        const auto p = r.Number();
        if (!p || !(regime = r.Word()) || !r.Eat(", ")) return std::nullopt;
        if (r.Eat("alone")) {
            key.allCore = false;
        } else if (r.Eat("on every processor")) {
            key.allCore = true;
        } else {
            return std::nullopt;
        }
        key.retest = static_cast<unsigned>(*k);
        key.processor = *p;
    } else if (r.Eat("all cpus ")) {
        // "all cpus REGIME: LOAD"
        key.processor = kAllProcessors;
        if (!(regime = r.Word())) return std::nullopt;
    } else if (r.Eat("cpu ")) {
        // "cpu P REGIME: LOAD"
        const auto p = r.Number();
        if (!p || !r.Eat(" ") || !(regime = r.Word())) return std::nullopt;
        key.processor = *p;
    } else {
        return std::nullopt;
    }
    if (!r.Eat(": ") || !(rest = r.Rest())) return std::nullopt;
    load = *rest;
    const auto named = RegimeNamed(*regime);
    if (!named) return std::nullopt;
    key.regime = *named;
    return key;
}

// The metadata of a step's "cycles" measurement: one cell.
std::optional<std::string> TakeCell(JournalStep& step, const json& meta) {
    const auto processor = ProcessorOrNone(meta, "processor");
    const auto regime = Text(meta, "regime");
    const auto cycles = Whole(meta, "cycles");
    const auto errors = Whole(meta, "error_cycles");
    const auto checks = Whole(meta, "failed_checks");
    const json* stalled = Field(meta, "stalled");
    const json* clocks = Field(meta, "clock_samples_hz");
    const auto highest = NumberOrNull(meta, "highest_temperature_c");
    if (!processor || !regime || !RegimeNamed(*regime) || !cycles || !errors || !checks ||
        !stalled || !stalled->is_boolean() || !clocks || !clocks->is_array() || !highest)
        return "a step's cycles measurement lacks its cell";
    const Regime r = *RegimeNamed(*regime);
    SweepCell& cell =
        *processor == kUnknownProcessor ? step.tally.MigratedAt(r) : step.tally.At(*processor, r);
    cell.cycles = *cycles;
    cell.errorCycles = *errors;
    cell.failedChecks = static_cast<unsigned>(std::min<std::uint64_t>(*checks, 1u << 20));
    cell.stalled = stalled->get<bool>();
    for (const json& hz : *clocks) {
        if (!hz.is_number()) return "a clock sample is not a number";
        cell.clocksHz.push_back(hz.get<double>());
    }
    cell.highestCelsius = *highest;
    cell.machineChecks = Whole(meta, "machine_checks");
    cell.clocksDiscarded = static_cast<unsigned>(
        std::min<std::uint64_t>(Whole(meta, "clock_samples_discarded").value_or(0), 1u << 30));
    if (const json* bursts = Field(meta, "bursts"); bursts && !bursts->is_null()) {
        if (!bursts->is_array()) return "a cell's bursts are not a list";
        for (const json& b : *bursts) {
            const auto planned = Number(b, "planned_rate_hz"), rate = Number(b, "rate_hz"),
                       plannedDuty = Number(b, "planned_duty"), duty = Number(b, "duty");
            const json* reached = Field(b, "reached");
            if (!planned || !rate || !plannedDuty || !duty || !reached || !reached->is_boolean())
                return "a burst rate step lacks its figures";
            cell.bursts.push_back({*planned, *rate, *plannedDuty, *duty, reached->get<bool>()});
        }
    }
    if (const json* digest = Field(meta, "digest"); digest && !digest->is_null()) {
        const auto value = digest->is_string() ? Digest(digest->get<std::string>()) : std::nullopt;
        if (!value || *processor == kUnknownProcessor) return "a digest is not 0x and 16 digits";
        step.digests[*processor] = *value;
    }
    return std::nullopt;
}

std::optional<std::string> TakeMeasurement(JournalStep& step, const json& m) {
    const auto name = Text(m, "name");
    if (!name || !Field(m, "value")) return "a measurement without name or value";
    const json empty = json::object();
    const json* meta = Field(m, "metadata");
    if (!meta) meta = &empty;
    if (*name == "cycles") return TakeCell(step, *meta);
    if (*name == "effective clock") {
        const auto processor = ProcessorOrNone(*meta, "processor");
        const auto hz = Number(m, "value");
        if (!processor || !hz) return "an effective clock without processor or number";
        step.lastClockHz[*processor] = *hz;
    } else if (*name == "processor temperature") {
        const auto celsius = Number(m, "value");
        if (!celsius) return "a temperature that is not a number";
        step.lastCelsius = *celsius;
    } else if (*name == "error") {
        auto error = SweepErrorFromJson(*meta);
        if (!error) return "an error record lacks its fields";
        step.errors.push_back(std::move(*error));
    }
    return std::nullopt;
}

class Reader {
public:
    explicit Reader(JournalContents& c) : c_(c) {}

    // Why line `n` (from 0) cannot be part of the stream; nothing when it can.
    std::optional<std::string> Take(const std::string& text, unsigned long n) {
        const json line = json::parse(text, nullptr, false);
        if (line.is_discarded() || !line.is_object()) return "not a JSON object";
        if (Whole(line, "sequenceNumber") != n)
            return "its sequence number is not " + std::to_string(n);
        if (!Text(line, "timestamp")) return "it has no timestamp";
        if (line.size() != 3) return "it has other than one artifact";
        if (n == 0) {
            const json* v = Field(line, "schemaVersion");
            if (!v || Whole(*v, "major") != 2u) return "not an OCP 2 stream (no schemaVersion)";
            return std::nullopt;
        }
        if (const json* run = Field(line, "testRunArtifact")) return TakeRun(*run, line, n);
        if (n == 1) return "not a quarrion-stress sweep stream (no testRunStart)";
        if (c_.ended) return "a line after the run's end";
        if (const json* step = Field(line, "testStepArtifact")) return TakeStep(*step);
        return "neither a run nor a step artifact";
    }

private:
    std::optional<std::string> TakeRun(const json& run, const json& line, unsigned long n) {
        if (const json* start = Field(run, "testRunStart")) {
            if (n != 1) return "a second testRunStart";
            const json none = json::object();
            const json* given = Field(*start, "parameters");
            const json& parameters = given ? *given : none;
            const json* regimes = Field(parameters, "sweep_regimes");
            const double seconds = Number(parameters, "sweep_seconds").value_or(-1);
            const std::uint64_t retests = Whole(parameters, "retest").value_or(~0ull);
            if (Text(*start, "name") != std::string("quarrion-stress") || !regimes ||
                !regimes->is_array())
                return "not a quarrion-stress sweep stream";
            for (const json& name : *regimes) {
                const auto regime =
                    name.is_string() ? RegimeNamed(name.get<std::string>()) : std::nullopt;
                if (!regime) return "an unknown regime";
                c_.regimes.push_back(*regime);
            }
            if (!(seconds >= 0 && seconds <= 86400) || retests > 86400)
                return "sweep seconds or retests missing or out of range";
            c_.seconds = static_cast<unsigned>(seconds);
            c_.retests = static_cast<unsigned>(retests);
            c_.start = *Text(line, "timestamp");
            return std::nullopt;
        }
        if (n == 1) return "not a quarrion-stress sweep stream (no testRunStart)";
        if (c_.ended) return "a line after the run's end";
        if (const json* end = Field(run, "testRunEnd")) {
            c_.ended = true;
            c_.result = Text(*end, "result").value_or("");
        }
        return std::nullopt;
    }

    std::optional<std::string> TakeStep(const json& artifact) {
        const auto id = Text(artifact, "testStepId");
        if (!id || artifact.size() != 2) return "a step artifact without its step";
        if (const json* start = Field(artifact, "testStepStart")) {
            const auto name = Text(*start, "name");
            JournalStep step;
            step.id = *id;
            const auto key = name ? ParseStepName(*name, step.load) : std::nullopt;
            if (!key) return "a step this program does not write";
            if (Find(*id)) return "step " + *id + " starts twice";
            step.key = *key;
            const unsigned long number = std::strtoul(id->c_str(), nullptr, 10);
            if (number >= c_.nextStepId && number < 1u << 30)
                c_.nextStepId = static_cast<unsigned>(number + 1);
            c_.steps.push_back(std::move(step));
            return std::nullopt;
        }
        JournalStep* step = Find(*id);
        if (!step) return "step " + *id + " was never started";
        if (step->ended) return "step " + *id + " goes on after its end";
        if (const json* m = Field(artifact, "measurement")) return TakeMeasurement(*step, *m);
        if (const json* d = Field(artifact, "diagnosis")) {
            const auto type = Text(*d, "type");
            if (!type) return "a diagnosis without type";
            step->failed = step->failed || *type == "FAIL";
        } else if (Field(artifact, "testStepEnd")) {
            step->ended = true;
        }
        return std::nullopt;
    }

    JournalStep* Find(const std::string& id) {
        for (JournalStep& s : c_.steps)
            if (s.id == id) return &s;
        return nullptr;
    }

    JournalContents& c_;
};

std::variant<JournalContents, std::string> Read(std::istream& in, const std::string& name) {
    const std::string all{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    JournalContents contents;
    Reader reader(contents);
    std::size_t pos = 0;
    unsigned long n = 0;
    // A last line without its newline is what a crash leaves: read up to it.
    for (std::size_t end; (end = all.find('\n', pos)) != std::string::npos; pos = end + 1, ++n) {
        if (const auto why = reader.Take(all.substr(pos, end - pos), n))
            return name + " line " + std::to_string(n + 1) + ": " + *why;
        contents.wholeBytes = end + 1;
    }
    contents.nextSequence = n;
    return contents;
}

}  // namespace

bool JournalKey::operator<(const JournalKey& o) const {
    return std::tie(processor, regime, retest, allCore) <
           std::tie(o.processor, o.regime, o.retest, o.allCore);
}

std::string JournalStepName(const JournalKey& key, const std::string& load) {
    if (key.retest) {
        return "retest " + std::to_string(key.retest) + " of cpu " + std::to_string(key.processor) +
               " " + RegimeName(key.regime) +
               (key.allCore ? ", on every processor: " : ", alone: ") + load;
    }
    return (key.processor == kAllProcessors ? std::string("all cpus")
                                            : "cpu " + std::to_string(key.processor)) +
           " " + RegimeName(key.regime) + ": " + load;
}

const JournalStep* JournalContents::Find(const JournalKey& key) const {
    for (const JournalStep& s : steps)
        if (!(s.key < key) && !(key < s.key)) return &s;
    return nullptr;
}

std::variant<JournalContents, std::string> ReadSweepJournal(std::istream& in,
                                                            const std::string& name) {
    try {
        return Read(in, name);
    } catch (const std::exception& failure) {
        return name + ": " + failure.what();
    }
}

ordered_json SweepErrorJson(const SweepError& e) {
    return {{"processor",
             e.processor == kUnknownProcessor ? ordered_json(nullptr) : ordered_json(e.processor)},
            {"processors", e.processors},
            {"apic_id", e.apicId ? ordered_json(*e.apicId) : ordered_json(nullptr)},
            {"load", e.load},
            {"regime", RegimeName(e.regime)},
            {"retest", e.retest},
            {"cycle", e.cycle},
            {"clock_hz", e.clockHz > 0 ? ordered_json(e.clockHz) : ordered_json(nullptr)},
            {"temperature_c", Nullable(e.temperatureC)},
            {"temperature_age_s", Nullable(e.temperatureAgeSeconds)},
            {"seconds_into_step", e.secondsIntoStep},
            {"burst_rate_hz", Nullable(e.burstRateHz)},
            {"kind", e.kind},
            {"message", e.text}};
}

std::optional<SweepError> SweepErrorFromJson(const json& j) {
    SweepError e;
    const auto processor = ProcessorOrNone(j, "processor");
    const json* processors = Field(j, "processors");
    const json* apic = Field(j, "apic_id");
    const auto load = Text(j, "load"), regime = Text(j, "regime"), kind = Text(j, "kind"),
               message = Text(j, "message");
    const auto retest = Whole(j, "retest"), cycle = Whole(j, "cycle");
    const auto clock = NumberOrNull(j, "clock_hz"), celsius = NumberOrNull(j, "temperature_c");
    if (!processor || !processors || !processors->is_array() || !apic || !load || !regime ||
        !RegimeNamed(*regime) || !kind || !message || !retest || *retest > 1u << 20 || !cycle ||
        !clock || !celsius)
        return std::nullopt;
    for (const json& p : *processors) {
        if (!p.is_number_unsigned() || p.get<std::uint64_t>() >= 1u << 20) return std::nullopt;
        e.processors.push_back(static_cast<int>(p.get<std::uint64_t>()));
    }
    if (!apic->is_null()) {
        if (!apic->is_number_unsigned() || apic->get<std::uint64_t>() > 0xffffffffu)
            return std::nullopt;
        e.apicId = static_cast<std::uint32_t>(apic->get<std::uint64_t>());
    }
    e.processor = *processor;
    e.load = *load;
    e.regime = *RegimeNamed(*regime);
    e.retest = static_cast<unsigned>(*retest);
    e.cycle = *cycle;
    e.clockHz = clock->value_or(0);
    e.temperatureC = *celsius;
    e.kind = *kind;
    e.text = *message;
    // Added later: optional, so that an older stream still reads.
    e.temperatureAgeSeconds = NumberOrNull(j, "temperature_age_s").value_or(std::nullopt);
    e.secondsIntoStep = Number(j, "seconds_into_step").value_or(0);
    e.burstRateHz = NumberOrNull(j, "burst_rate_hz").value_or(std::nullopt);
    return e;
}

ordered_json BurstsJson(const std::vector<BurstAchieved>& bursts) {
    ordered_json list = ordered_json::array();
    for (const BurstAchieved& b : bursts) {
        list.push_back({{"planned_rate_hz", b.plannedRateHz},
                        {"rate_hz", b.rateHz},
                        {"planned_duty", b.plannedDuty},
                        {"duty", b.duty},
                        {"reached", b.reached}});
    }
    return list;
}

void SweepJournal::ContinueAfter(const JournalContents& contents) {
    std::lock_guard<std::mutex> lock(mutex_);
    sequence_ = contents.nextSequence;
    nextStep_ = contents.nextStepId;
}

void SweepJournal::Emit(const char* kind, ordered_json body, bool sync) {
    std::lock_guard<std::mutex> lock(mutex_);
    ordered_json line;
    line["sequenceNumber"] = sequence_++;
    line["timestamp"] = OcpTimestamp(std::chrono::system_clock::now());
    line[kind] = std::move(body);
    sink_(line.dump() + "\n", sync);
}

void SweepJournal::Step(const std::string& id, const char* kind, ordered_json body, bool sync) {
    Emit("testStepArtifact", {{"testStepId", id}, {kind, std::move(body)}}, sync);
}

void SweepJournal::Begin(const RunSetup& setup, const SweepOptions& options, double slotSeconds,
                         const std::string& commandLine) {
    Emit("schemaVersion", {{"major", 2}, {"minor", 0}}, false);
    ordered_json platform = ordered_json::array();
    for (const std::string& info : setup.platformInfos) platform.push_back({{"info", info}});
    const std::string host = setup.hostName.empty() ? "unknown" : setup.hostName;
    ordered_json parameters = OptionsJson(setup.options);
    ordered_json regimes = ordered_json::array();
    for (Regime regime : options.regimes) regimes.push_back(RegimeName(regime));
    parameters["sweep_regimes"] = regimes;
    parameters["sweep_seconds"] = slotSeconds;
    parameters["retest"] = options.retests;
    Emit("testRunArtifact",
         {{"testRunStart",
           {{"name", "quarrion-stress"},
            {"version", kStressVersion},
            {"commandLine", commandLine},
            {"parameters", parameters},
            {"dutInfo", {{"dutInfoId", host}, {"name", host}, {"platformInfos", platform}}}}}},
         true);
}

std::string SweepJournal::StepStart(const JournalKey& key, const std::string& load) {
    std::string id;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        id = std::to_string(nextStep_++);
    }
    Step(id, "testStepStart", {{"name", JournalStepName(key, load)}}, true);
    return id;
}

void SweepJournal::Sample(const std::string& step, int processor, double clockHz,
                          std::optional<double> celsius) {
    if (clockHz > 0) {
        Step(step, "measurement",
             {{"name", "effective clock"},
              {"value", clockHz},
              {"unit", "Hz"},
              {"metadata", {{"processor", processor}}}},
             true);
    }
    if (celsius) {
        Step(step, "measurement",
             {{"name", "processor temperature"}, {"value", *celsius}, {"unit", "C"}}, true);
    }
}

void SweepJournal::Error(const std::string& step, const SweepError& e) {
    Step(step, "measurement",
         {{"name", "error"}, {"value", e.cycle}, {"metadata", SweepErrorJson(e)}}, false);
    Step(step, "diagnosis",
         {{"verdict",
           e.kind == "stalled" || e.kind == "machine-stopped" ? e.kind : e.kind + "-mismatch"},
          {"type", "FAIL"},
          {"message", SweepErrorLine(e)}},
         true);
}

void SweepJournal::StepEnd(const std::string& step, const SweepTally& cells,
                           const std::map<int, std::uint64_t>& digests, bool failed,
                           const char* status) {
    auto cell = [&](int processor, Regime regime, const SweepCell& c) {
        ordered_json clocks = ordered_json::array();
        for (double hz : c.clocksHz) clocks.push_back(hz);
        const auto digest = digests.find(processor);
        Step(step, "measurement",
             {{"name", "cycles"},
              {"value", c.cycles},
              {"unit", "cycles"},
              {"metadata",
               {{"processor",
                 processor == kUnknownProcessor ? ordered_json(nullptr) : ordered_json(processor)},
                {"regime", RegimeName(regime)},
                {"cycles", c.cycles},
                {"error_cycles", c.errorCycles},
                {"failed_checks", c.failedChecks},
                {"machine_checks", c.machineChecks ? ordered_json(*c.machineChecks) : nullptr},
                {"stalled", c.stalled},
                {"clock_samples_hz", clocks},
                {"clock_samples_discarded", c.clocksDiscarded},
                {"highest_temperature_c", Nullable(c.highestCelsius)},
                {"bursts", c.bursts.empty() ? ordered_json(nullptr) : BurstsJson(c.bursts)},
                {"digest", digest == digests.end() ? ordered_json(nullptr)
                                                   : ordered_json(Hex64(digest->second))}}}},
             false);
    };
    std::uint64_t cycles = 0;
    for (const auto& [key, c] : cells.Cells()) {
        cell(key.first, key.second, c);
        cycles += c.cycles;
    }
    for (const auto& [regime, c] : cells.Migrated()) cell(kUnknownProcessor, regime, c);
    if (!failed) {
        Step(step, "diagnosis",
             {{"verdict", "no-mismatch"},
              {"type", "PASS"},
              {"message", std::to_string(cycles) + " cycles, every check agreed"}},
             false);
    }
    Step(step, "testStepEnd", {{"status", status}}, true);
}

void SweepJournal::RunError(const std::string& symptom, const std::string& message) {
    Emit("testRunArtifact", {{"error", {{"symptom", symptom}, {"message", message}}}}, true);
}

void SweepJournal::End(const char* status, const char* result) {
    Emit("testRunArtifact", {{"testRunEnd", {{"status", status}, {"result", result}}}}, true);
}
