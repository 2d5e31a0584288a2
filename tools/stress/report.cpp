// Text and JSON output of a run.
#include "tools/stress/report.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <sstream>

#include "engine/verification.h"
#include "quarrion_version.h"
#include "tools/stress/control_word.h"
#include "tools/stress/isa.h"
#include "tools/stress/sensors.h"

const char* const kStressVersion = QUARRION_VERSION;

std::tm UtcCalendar(std::time_t seconds) {
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    return utc;
}

namespace {

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string IsoTime(std::chrono::system_clock::time_point t) {
    const std::tm utc = UtcCalendar(std::chrono::system_clock::to_time_t(t));
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string Processor(int cpu) {
    return cpu >= 0 ? std::to_string(cpu) : std::string("-");
}

const char* PlacementName(Placement p) {
    switch (p) {
        case Placement::Table:
            return "table";
        case Placement::AllCpus:
            return "all-cpus";
        case Placement::CycleCores:
            return "cycle-cores";
    }
    return "?";
}

}  // namespace

std::string WorkerLabel(const WorkerState& w) {
    if (w.load->dialog) return RoutineName(*w.load);
    return std::string(w.descriptor().name) + "/" + IsaName(w.isa);
}

std::string Hex64(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, value);
    return text;
}

void PrintLoads(std::ostream& out, const LoadRegistry& registry, unsigned machineIsas,
                std::optional<Isa> forced) {
    for (const RegisteredLoad& load : registry) {
        std::string why;
        const auto isa = LoadIsa(*load.descriptor, machineIsas, forced, &why);
        char line[96];
        std::snprintf(line, sizeof line, "%-14s %-8s ", load.descriptor->name,
                      isa ? IsaName(*isa) : "-");
        out << line << load.descriptor->description;
        if (!isa) out << " (unavailable: " << why << ")";
        out << "\n";
    }
}

std::string TimeStampCounterLine(const std::string& clockText) {
    if (clockText.empty()) return "Time-stamp counter rate: not measured";
    // "2445.75   MHZ   estimate ": the dialog's words; the number is the counter's rate.
    return "Time-stamp counter rate: " + clockText.substr(0, clockText.find(' ')) +
           " MHz (the counter's, not the cores' clock)";
}

void PrintBanner(std::ostream& out, const RunSetup& setup) {
    out << "quarrion-stress " << kStressVersion << "\n"
        << "Processor: " << (setup.processorName.empty() ? "unknown" : setup.processorName) << "\n"
        << TimeStampCounterLine(setup.clockText) << "\n";
    const auto plan = PlanWorkers(setup);
    out << "Workers: " << plan.size() << ", ";
    if (setup.options.seconds)
        out << "for " << setup.options.seconds << " s";
    else
        out << "until interrupted";
    out << " (Ctrl-C stops after the current cycle)\n" << std::flush;
}

namespace {

// "1 (cpu 0)": a worker by its number and the processor of its first cycle.
std::string WorkerAndProcessor(const RunResult& r, std::size_t worker) {
    return std::to_string(worker + 1) + " (cpu " + Processor(r.workers[worker]->ballotProcessor) +
           ")";
}

}  // namespace

std::string ErrorText(const RunResult& r, std::size_t worker, const ErrorRecord& e) {
    return ErrorText(worker, *r.workers[worker], e);
}

std::string ErrorText(std::size_t worker, const WorkerState& w, const ErrorRecord& e) {
    std::ostringstream text;
    text << "Error: worker " << worker + 1 << " (" << WorkerLabel(w) << ", cpu "
         << Processor(e.processor);
    if (e.movedFrom >= 0) text << ", moved from cpu " << e.movedFrom << " during the cycle";
    text << ") cycle " << e.cycle << ", " << ErrorKindName(e.kind) << ": ";
    if (e.kind == ErrorKind::ControlWord)
        return text.str() + ControlWordChange(UnpackedControlWords(e.digest));
    if (e.kind == ErrorKind::KnownAnswer) {
        text << "digest " << Hex64(e.digest) << ", known " << Hex64(w.descriptor().knownDigest);
        if (e.mismatchingPairs == 0) {
            text << "; the reference variant does not give the known answer here either, so no "
                    "element is named";
            return text.str();
        }
        text << "; ";
    }
    const char* first = e.kind == ErrorKind::Pass ? "first pass " : "computed ";
    const char* second = e.kind == ErrorKind::Pass        ? "second pass "
                         : e.kind == ErrorKind::CrossCore ? "reference "
                                                          : "known ";
    text << "array " << ArrayName(*w.load, e.first.array) << " element " << e.first.element << ": "
         << first << Number(e.first.first) << " (" << Hex64(DoubleBits(e.first.first)) << "), "
         << second << Number(e.first.second) << " (" << Hex64(DoubleBits(e.first.second))
         << "), xor " << Hex64(e.first.xorMask) << ", " << e.mismatchingPairs
         << " element(s) differ";
    return text.str();
}

std::string CheckText(const RunResult& r, const RoutineCheck& c) {
    std::ostringstream text;
    const char* routine = RoutineName(*c.load);
    if (!c.outcome || c.outcome->ballots == 0) {
        text << "Reference " << routine << ": none, no first cycle finished";
    } else if (c.outcome->majority) {
        text << "Reference " << routine << ": digest " << Hex64(c.outcome->digest) << ", "
             << c.outcome->groups.front().size() << " of " << c.outcome->ballots
             << " worker(s) agree" << (c.crossCheck ? "" : ", not cross-checked");
    } else {
        text << "Disagreement: " << routine
             << " workers differ in their first cycle and no majority exists, so none is blamed:";
        for (std::size_t g = 0; g < c.outcome->groups.size(); ++g) {
            text << (g ? " |" : "");
            for (std::size_t worker : c.outcome->groups[g])
                text << " " << WorkerAndProcessor(r, worker);
        }
        if (const auto& m = c.outcome->split) {
            text << "; first difference at array " << ArrayName(*c.load, m->array) << " element "
                 << m->element << ": " << Number(m->first) << " vs " << Number(m->second)
                 << ", xor " << Hex64(m->xorMask);
        }
    }
    if (c.expectedDigest) {
        text << "\nExpected digest " << routine << ": " << Hex64(*c.expectedDigest)
             << (c.DigestDiffers() ? ", MISMATCH" : ", matches");
    }
    if (c.knownDigest && c.outcome && c.outcome->majority) {
        text << "\nKnown answer " << routine << ": " << Hex64(c.knownDigest)
             << (c.KnownDiffers() ? ", MISMATCH" : ", matches");
    }
    return text.str();
}

void PrintSummary(std::ostream& out, const RunSetup&, const RunResult& r) {
    char line[160];
    std::snprintf(line, sizeof line, "Ran %.1f s%s.\n", r.elapsedSeconds,
                  r.interrupted ? ", interrupted" : "");
    out << line;
    out << "  #  routine            isa     cpu   cycles      errors  GFLOP/s\n";
    for (std::size_t i = 0; i < r.workers.size(); ++i) {
        const WorkerState& w = *r.workers[i];
        const auto flops = WorkerFlops(w, r.elapsedSeconds);
        char rate[24] = "-";
        if (flops) std::snprintf(rate, sizeof rate, "%.2f", *flops / 1e9);
        std::snprintf(line, sizeof line,
                      "%3zu  %-18s %-7s %-5s %-11" PRIu64 " %-7" PRIu64 " %s%s\n", i + 1,
                      RoutineName(*w.load), IsaName(w.isa), Processor(w.processor).c_str(),
                      w.cycles.load(), w.errorCycles.load(), rate, w.stalled ? "  STALLED" : "");
        out << line;
    }
    if (const auto total = r.flopsPerSecond()) {
        std::snprintf(line, sizeof line, "Verified floating point: %.2f GFLOP/s in all\n",
                      *total / 1e9);
        out << line;
    }
    for (const RoutineCheck& c : r.checks) out << CheckText(r, c) << "\n";
    for (std::size_t i = 0; i < r.workers.size(); ++i) {
        const WorkerState& w = *r.workers[i];
        if (w.stalled) {
            out << "Worker " << i + 1 << " (" << WorkerLabel(w) << ", cpu "
                << Processor(w.processor) << ") stalled: no cycle finished within the limit.\n";
        }
        if (!w.finished) continue;  // a stalled thread still owns its records
        for (const ErrorRecord& e : w.errors) out << ErrorText(r, i, e) << "\n";
    }
    out << ResultLine(r) << "\n" << std::flush;
}

std::string ResultLine(const RunResult& r) {
    std::uint64_t cycles = 0;
    for (const auto& w : r.workers) cycles += w->cycles;
    bool digestDiffers = false, knownDiffers = false;
    for (const RoutineCheck& c : r.checks) {
        digestDiffers = digestDiffers || c.DigestDiffers();
        knownDiffers = knownDiffers || c.KnownDiffers();
    }
    switch (r.status) {
        case kExitClean:
        case kExitInterrupted:
            return "Result: PASS, no errors in " + std::to_string(cycles) + " cycles";
        case kExitCouldNotRun:
            return "Result: COULD NOT RUN, no worker started";
        case kExitTooHot:
            return "Result: STOPPED, too hot; no errors in " + std::to_string(cycles) + " cycles";
        default: {
            std::string line = "Result: FAIL";
            const std::string errors = ErrorLine(r);
            if (errors[0] == ' ') line += "," + errors;  // the dialog's words keep their blank
            if (r.anyStalled()) line += ", a worker stalled";
            if (digestDiffers) line += ", a reference digest is not the expected one";
            if (knownDiffers) line += ", a reference is not the known answer";
            return line;
        }
    }
}

namespace {

nlohmann::ordered_json OrNull(int processor) {
    return processor >= 0 ? nlohmann::ordered_json(processor) : nlohmann::ordered_json();
}

nlohmann::ordered_json OrNull(const std::optional<double>& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json();
}

nlohmann::ordered_json ErrorJson(const WorkerState& w, const ErrorRecord& e) {
    using nlohmann::ordered_json;
    const std::string a = e.kind == ErrorKind::Pass ? "first" : "computed";
    const std::string b = e.kind == ErrorKind::Pass        ? "second"
                          : e.kind == ErrorKind::CrossCore ? "reference"
                                                           : "known";
    ordered_json error{
        {"kind", ErrorKindName(e.kind)}, {"cycle", e.cycle}, {"processor", OrNull(e.processor)}};
    if (e.movedFrom >= 0) error["moved_from_processor"] = e.movedFrom;
    if (e.kind == ErrorKind::ControlWord)
        error["control_words"] = ControlWordChange(UnpackedControlWords(e.digest));
    if (e.kind == ErrorKind::KnownAnswer) {
        error["digest"] = Hex64(e.digest);
        error["known_digest"] = Hex64(w.descriptor().knownDigest);
    }
    const bool located = e.mismatchingPairs > 0;
    error["array"] = located ? ordered_json(ArrayName(*w.load, e.first.array)) : ordered_json();
    error["element"] = located ? ordered_json(e.first.element) : ordered_json();
    error[a] = located ? ordered_json(Number(e.first.first)) : ordered_json();
    error[b] = located ? ordered_json(Number(e.first.second)) : ordered_json();
    error[a + "_bits"] = located ? ordered_json(Hex64(DoubleBits(e.first.first))) : ordered_json();
    error[b + "_bits"] = located ? ordered_json(Hex64(DoubleBits(e.first.second))) : ordered_json();
    error["xor_mask"] = located ? ordered_json(Hex64(e.first.xorMask)) : ordered_json();
    error["mismatching_pairs"] = e.mismatchingPairs;
    return error;
}

nlohmann::ordered_json CheckJson(const RunResult& r, const RoutineCheck& c) {
    using nlohmann::ordered_json;
    ordered_json check{{"routine", RoutineName(*c.load)},
                       {"load", c.load->descriptor->name},
                       {"cross_check", c.crossCheck}};
    ordered_json workers = ordered_json::array(), groups = ordered_json::array();
    for (std::size_t worker : c.workers) workers.push_back(worker + 1);
    check["workers"] = workers;
    const bool elected = c.outcome && c.outcome->majority;
    check["ballots"] = c.outcome ? c.outcome->ballots : 0;
    check["majority"] = elected;
    check["digest"] = elected ? ordered_json(Hex64(c.outcome->digest)) : ordered_json();
    check["expected_digest"] =
        c.expectedDigest ? ordered_json(Hex64(*c.expectedDigest)) : ordered_json();
    check["digest_differs"] = c.DigestDiffers();
    check["known_digest"] = c.knownDigest ? ordered_json(Hex64(c.knownDigest)) : ordered_json();
    check["known_differs"] = c.KnownDiffers();
    if (c.outcome) {
        for (const auto& group : c.outcome->groups) {
            ordered_json members = ordered_json::array();
            for (std::size_t worker : group)
                members.push_back({{"worker", worker + 1},
                                   {"processor", OrNull(r.workers[worker]->ballotProcessor)}});
            groups.push_back(members);
        }
    }
    check["groups"] = groups;
    check["disagreement"] = c.Disagreement();
    if (c.outcome && c.outcome->split) {
        const Mismatch& m = *c.outcome->split;
        check["first_difference"] = {{"array", ArrayName(*c.load, m.array)},
                                     {"element", m.element},
                                     {"values", {Number(m.first), Number(m.second)}},
                                     {"xor_mask", Hex64(m.xorMask)}};
    }
    return check;
}

}  // namespace

nlohmann::ordered_json OptionsJson(const StressOptions& o) {
    nlohmann::ordered_json digests = nlohmann::ordered_json::object();
    for (const auto& [routine, digest] : o.expectDigests) digests[routine] = Hex64(digest);
    nlohmann::ordered_json loads = nlohmann::ordered_json::array();
    for (const std::string& load : o.loads) loads.push_back(load);
    return {{"seconds", o.seconds},
            {"placement", PlacementName(o.placement)},
            {"loads", loads},
            {"isa", o.isa ? nlohmann::ordered_json(IsaName(*o.isa)) : nlohmann::ordered_json()},
            {"extra_matrix", o.extraMatrix},
            {"cycle_seconds", o.cycleSeconds},
            {"stop_on_error", o.stopOnError},
            {"cross_check", o.crossCheck},
            {"expect_digest", digests},
            {"self_test", o.selfTest}};
}

nlohmann::ordered_json BuildReport(const RunSetup& setup, const RunResult& r) {
    using nlohmann::ordered_json;
    const StressOptions& o = setup.options;
    ordered_json report;
    report["schema_version"] = kReportSchemaVersion;
    report["program"] = "quarrion-stress";
    report["version"] = kStressVersion;
    report["host"] = setup.hostName;
    report["processor"] =
        setup.processorName.empty() ? ordered_json() : ordered_json(setup.processorName);
    report["clock"] = setup.clockText.empty() ? ordered_json() : ordered_json(setup.clockText);
    report["platform_infos"] = setup.platformInfos;  // the build's compiler and C runtime too
    report["options"] = OptionsJson(o);
    report["start"] = IsoTime(r.startTime);
    report["end"] = IsoTime(r.endTime);
    report["elapsed_seconds"] = r.elapsedSeconds;
    report["interrupted"] = r.interrupted;
    report["exit_status"] = r.status;
    report["stop_message"] = r.stopMessage;  // why it ended early, as the sweep's report says
    report["error_line"] = ErrorLine(r);
    ordered_json workers = ordered_json::array();
    for (const auto& w : r.workers) {
        ordered_json errors = ordered_json::array();
        if (w->finished)
            for (const ErrorRecord& e : w->errors) errors.push_back(ErrorJson(*w, e));
        workers.push_back(
            {{"routine", RoutineName(*w->load)},
             {"load", w->descriptor().name},
             {"isa", IsaName(w->isa)},
             {"processor",
              w->pinnedProcessor >= 0 ? ordered_json(w->pinnedProcessor.load()) : ordered_json()},
             {"last_processor",
              w->processor >= 0 ? ordered_json(w->processor.load()) : ordered_json()},
             {"cycles", w->cycles.load()},
             {"error_cycles", w->errorCycles.load()},
             {"flops_per_second", OrNull(WorkerFlops(*w, r.elapsedSeconds))},
             {"stalled", w->stalled.load()},
             {"errors", errors}});
    }
    report["flops_per_second"] = OrNull(r.flopsPerSecond());
    report["workers"] = workers;
    ordered_json references = ordered_json::array();
    for (const RoutineCheck& c : r.checks) references.push_back(CheckJson(r, c));
    report["references"] = references;
    return report;
}
