// Text and JSON output of a run.
#include "tools/stress/report.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "engine/verification.h"

const char* const kStressVersion = "0.92";

namespace {

const char* ArrayName(WorkerKind kind, int array) {
    static const char* const matrix[] = {"A", "B", "C", "D"};
    static const char* const complex[] = {"X", "Y"};
    if (kind == WorkerKind::Matrix && array >= 0 && array < 4) return matrix[array];
    if (kind == WorkerKind::ComplexMath && array >= 0 && array < 2) return complex[array];
    return "?";
}

std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::string IsoTime(std::chrono::system_clock::time_point t) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(t);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string Processor(int cpu) { return cpu >= 0 ? std::to_string(cpu) : std::string("-"); }

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

std::string Hex64(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, value);
    return text;
}

void PrintBanner(std::ostream& out, const RunSetup& setup) {
    out << "quarrion-stress " << kStressVersion << "\n"
        << "Processor: " << (setup.processorName.empty() ? "unknown" : setup.processorName) << "\n"
        << "Raw clock frequency: "
        << (setup.clockText.empty() ? "Not Detected!" : setup.clockText) << "\n";
    const auto plan = PlanWorkers(setup);
    out << "Workers: " << plan.size() << ", ";
    if (setup.options.seconds) out << "for " << setup.options.seconds << " s";
    else out << "until interrupted";
    out << " (Ctrl-C stops after the current cycle)\n" << std::flush;
}

void PrintSummary(std::ostream& out, const RunSetup&, const RunResult& r) {
    char line[160];
    std::snprintf(line, sizeof line, "Ran %.1f s%s.\n", r.elapsedSeconds,
                  r.interrupted ? ", interrupted" : "");
    out << line;
    out << "  #  routine            cpu   cycles      errors\n";
    for (std::size_t i = 0; i < r.workers.size(); ++i) {
        const WorkerState& w = *r.workers[i];
        std::snprintf(line, sizeof line, "%3zu  %-18s %-5s %-11" PRIu64 " %" PRIu64 "%s\n", i + 1,
                      RoutineName(w.kind), Processor(w.processor).c_str(), w.cycles.load(),
                      w.errorCycles.load(), w.stalled ? "  STALLED" : "");
        out << line;
    }
    for (std::size_t i = 0; i < r.workers.size(); ++i) {
        const WorkerState& w = *r.workers[i];
        if (w.stalled) {
            out << "Worker " << i + 1 << " (" << RoutineName(w.kind) << ", cpu "
                << Processor(w.processor) << ") stalled: no cycle finished within the limit.\n";
        }
        if (!w.finished) continue;  // a stalled thread still owns its records
        for (const ErrorRecord& e : w.errors) {
            out << "Error: worker " << i + 1 << " (" << RoutineName(w.kind) << ", cpu "
                << Processor(e.processor) << ") cycle " << e.cycle << ": array "
                << ArrayName(w.kind, e.first.array) << " element " << e.first.element << ": "
                << Number(e.first.first) << " vs " << Number(e.first.second) << ", xor "
                << Hex64(e.first.xorMask) << " (" << e.mismatchingPairs << " pair(s) differed)\n";
        }
    }
    out << ResultLine(r) << "\n" << std::flush;
}

std::string ResultLine(const RunResult& r) {
    std::uint64_t cycles = 0;
    for (const auto& w : r.workers) cycles += w->cycles;
    switch (r.status) {
        case kExitClean:
        case kExitInterrupted:
            return "Result: PASS, no errors in " + std::to_string(cycles) + " cycles";
        case kExitCouldNotRun:
            return "Result: COULD NOT RUN, no worker started";
        default:
            return "Result: FAIL," + ErrorLine(r) + (r.anyStalled() ? ", a worker stalled" : "");
    }
}

nlohmann::ordered_json BuildReport(const RunSetup& setup, const RunResult& r) {
    using nlohmann::ordered_json;
    const StressOptions& o = setup.options;
    ordered_json report;
    report["program"] = "quarrion-stress";
    report["version"] = kStressVersion;
    report["processor"] = setup.processorName.empty() ? ordered_json() : ordered_json(setup.processorName);
    report["clock"] = setup.clockText.empty() ? ordered_json() : ordered_json(setup.clockText);
    report["options"] = {{"seconds", o.seconds},
                         {"placement", PlacementName(o.placement)},
                         {"extra_matrix", o.extraMatrix},
                         {"cycle_seconds", o.cycleSeconds},
                         {"stop_on_error", o.stopOnError},
                         {"self_test", o.selfTest}};
    report["start"] = IsoTime(r.startTime);
    report["end"] = IsoTime(r.endTime);
    report["elapsed_seconds"] = r.elapsedSeconds;
    report["interrupted"] = r.interrupted;
    report["exit_status"] = r.status;
    report["error_line"] = ErrorLine(r);
    ordered_json workers = ordered_json::array();
    for (const auto& w : r.workers) {
        ordered_json errors = ordered_json::array();
        if (w->finished) {
            for (const ErrorRecord& e : w->errors) {
                errors.push_back({{"cycle", e.cycle},
                                  {"processor", e.processor >= 0 ? ordered_json(e.processor) : ordered_json()},
                                  {"array", ArrayName(w->kind, e.first.array)},
                                  {"element", e.first.element},
                                  {"first", Number(e.first.first)},
                                  {"second", Number(e.first.second)},
                                  {"first_bits", Hex64(DoubleBits(e.first.first))},
                                  {"second_bits", Hex64(DoubleBits(e.first.second))},
                                  {"xor_mask", Hex64(e.first.xorMask)},
                                  {"mismatching_pairs", e.mismatchingPairs}});
            }
        }
        workers.push_back({{"routine", RoutineName(w->kind)},
                           {"processor", w->pinnedProcessor >= 0 ? ordered_json(w->pinnedProcessor.load())
                                                                 : ordered_json()},
                           {"last_processor", w->processor >= 0 ? ordered_json(w->processor.load())
                                                                : ordered_json()},
                           {"cycles", w->cycles.load()},
                           {"error_cycles", w->errorCycles.load()},
                           {"stalled", w->stalled.load()},
                           {"errors", errors}});
    }
    report["workers"] = workers;
    return report;
}
