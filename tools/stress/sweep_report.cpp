// What a sweep tells its user: the processor-by-regime table, the errors with
// their place, clock and temperature, the retests; as text, JSON and OCP.
#include <algorithm>
#include <cstdio>

#include "tools/stress/ocp.h"
#include "tools/stress/sweep_journal.h"
#include "tools/stress/report.h"
#include "tools/stress/sweep.h"

namespace {

using nlohmann::ordered_json;

std::string Ghz(double hz) {
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", hz / 1e9);
    return text;
}

std::string Celsius(const std::optional<double>& c) {
    if (!c) return "not available";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f C", *c);
    return text;
}

std::string LoadOf(const SweepResult& r, Regime regime) {
    const auto it = r.loads.find(regime);
    return it == r.loads.end() ? "none" : it->second;
}

std::string Known(int number) {
    return number < 0 ? "-" : std::to_string(number);
}

std::string IsaOf(const SweepResult& r, Regime regime) {
    const auto it = r.isas.find(regime);
    return it == r.isas.end() ? "-" : it->second;
}

std::string Processor(int processor) {
    return processor == kUnknownProcessor ? "none (migrated)" : std::to_string(processor);
}

std::string Apic(const SweepResult& r, int processor) {
    const ProcessorPlace* place = r.topology.Find(processor);
    if (!place || !place->apicId) return "-";
    return std::to_string(*place->apicId);
}

std::string ClockCell(const SweepCell& cell) {
    const std::optional<ClockSummary> clocks = SummariseClocks(cell.clocksHz);
    return clocks ? Ghz(clocks->percentile5Hz) + " / " + Ghz(clocks->medianHz) + " GHz (" +
                        std::to_string(clocks->samples) + ")"
                  : "-";
}

// The table's rows: each processor's regimes in sweep order, then all-core.
std::vector<SweepTally::Key> RowOrder(const SweepResult& r) {
    std::vector<SweepTally::Key> rows;
    for (Regime regime : AllRegimes())
        for (const auto& [key, cell] : r.tally.Cells())
            if (key.second == regime) rows.push_back(key);
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        const bool allA = a.second == Regime::AllCore, allB = b.second == Regime::AllCore;
        if (allA != allB) return allB;
        return a.first < b.first;
    });
    return rows;
}

// A cycle's error has a cycle; a check's concerns the step (or the sweep).
bool IsCheck(const SweepError& e) {
    return e.kind == "disagreement" || e.kind == "digest" || e.kind == "cross-processor" ||
           (e.kind == "known-answer" && e.cycle == 0);
}

std::string ErrorLine(const SweepError& e) {
    std::string line = "  cpu";
    if (!e.processors.empty()) {
        line += "s";
        for (std::size_t i = 0; i < e.processors.size(); ++i)
            line += (i ? ", " : " ") + std::to_string(e.processors[i]);
    } else {
        line += " " + (e.processor == kUnknownProcessor && IsCheck(e) ? std::string("-")
                                                                      : Processor(e.processor));
    }
    if (e.apicId) line += " (APIC " + std::to_string(*e.apicId) + ")";
    line += ", " + e.load + ", " + RegimeName(e.regime);
    if (e.retest) line += " retest " + std::to_string(e.retest);
    if (IsCheck(e)) return line + ", " + e.kind + " check:\n    " + e.text;
    if (e.kind == "machine-stopped") return line + ", machine stopped:\n    " + e.text;
    char moment[96];
    std::snprintf(moment, sizeof moment, ", %.3f s into the step", e.secondsIntoStep);
    line += ", cycle " + std::to_string(e.cycle) + moment;
    if (e.burstRateHz) {
        std::snprintf(moment, sizeof moment, " (bursts at %g Hz)", *e.burstRateHz);
        line += moment;
    }
    line += ", clock " + (e.clockHz > 0 ? Ghz(e.clockHz) + " GHz" : "not measured yet") +
            ", temperature " + Celsius(e.temperatureC);
    if (e.temperatureAgeSeconds) {
        std::snprintf(moment, sizeof moment, " (read %.0f ms before)",
                      *e.temperatureAgeSeconds * 1000);
        line += moment;
    }
    return line + ":\n    " + e.text;
}

ordered_json Nullable(const std::optional<double>& value) {
    return value ? ordered_json(*value) : ordered_json(nullptr);
}

ordered_json CellJson(const SweepCell& cell) {
    const std::optional<ClockSummary> clocks = SummariseClocks(cell.clocksHz);
    return {{"cycles", cell.cycles},
            {"error_cycles", cell.errorCycles},
            {"clock_min_hz", clocks ? ordered_json(clocks->minimumHz) : ordered_json(nullptr)},
            {"clock_median_hz", clocks ? ordered_json(clocks->medianHz) : ordered_json(nullptr)},
            {"clock_p5_hz", clocks ? ordered_json(clocks->percentile5Hz) : ordered_json(nullptr)},
            {"clock_samples", cell.clocksHz.size()},
            {"clock_samples_discarded", cell.clocksDiscarded},
            {"highest_temperature_c", Nullable(cell.highestCelsius)},
            {"failed_checks", cell.failedChecks},
            {"machine_checks",
             cell.machineChecks ? ordered_json(*cell.machineChecks) : ordered_json(nullptr)},
            {"bursts", cell.bursts.empty() ? ordered_json(nullptr) : BurstsJson(cell.bursts)},
            {"result", cell.Verdict()}};
}

// "Bursts cpu 0, rate and duty achieved: 1 Hz 1.0 0.50, ..., 1000 Hz 212 0.91
// not reached": each rate step as it switched.
std::string BurstsLine(int processor, const std::vector<BurstAchieved>& bursts) {
    std::string line = "Bursts cpu " + std::to_string(processor) + ", rate and duty achieved:";
    for (std::size_t i = 0; i < bursts.size(); ++i) {
        const BurstAchieved& b = bursts[i];
        char part[80];
        std::snprintf(part, sizeof part, "%s %g Hz %.4g %.2f%s", i ? "," : "", b.plannedRateHz,
                      b.rateHz, b.duty, b.reached ? "" : " not reached");
        line += part;
    }
    return line;
}

const char* ResultWord(const SweepResult& r) {
    switch (r.status) {
        case kExitClean:
            return "PASS";
        case kExitErrors:
            return "FAIL";
        case kExitTooHot:
            return "STOPPED, too hot";
        case kExitInterrupted:
            return "INTERRUPTED";
        default:
            return "COULD NOT RUN";
    }
}

}  // namespace

std::string SweepErrorLine(const SweepError& e) {
    return ErrorLine(e);
}

void PrintSweepBanner(std::ostream& out, const RunSetup& setup, const SweepOptions& options) {
    out << "quarrion-stress " << kStressVersion << "\n";
    if (!setup.processorName.empty()) out << "Processor: " << setup.processorName << "\n";
    out << TimeStampCounterLine(setup.clockText) << "\n";
    const std::vector<SweepStep> plan =
        PlanSweep(setup.processors, options.regimes, options.seconds);
    out << "Sweep: " << setup.processors.size() << " logical processor(s), regimes";
    for (Regime regime : options.regimes) out << " " << RegimeName(regime);
    out << "; " << plan.size() << " steps of " << options.seconds << " s (about "
        << plan.size() * options.seconds << " s; Ctrl-C stops after the current cycle)\n";
}

void PrintSweep(std::ostream& out, const SweepResult& r) {
    if (r.stepsRun == 0) {
        out << r.stopMessage << "\nResult: " << ResultWord(r) << "\n";
        return;
    }
    char line[256];
    std::snprintf(line, sizeof line,
                  "%-4s %-5s %-4s %-5s %-9s %-18s %-7s %10s %7s  %-26s %-13s %-4s %s\n", "cpu",
                  "core", "die", "apic", "regime", "load", "isa", "cycles", "errors",
                  "clock p5 / median (n)", "highest temp", "mce", "result");
    out << line;
    for (const auto& key : RowOrder(r)) {
        const SweepCell& cell = r.tally.Cells().at(key);
        const ProcessorPlace* place = r.topology.Find(key.first);
        std::snprintf(
            line, sizeof line,
            "%-4d %-5s %-4s %-5s %-9s %-18s %-7s %10llu %7llu  %-26s %-13s %-4s %s\n", key.first,
            Known(place ? place->core : -1).c_str(), Known(place ? place->die : -1).c_str(),
            Apic(r, key.first).c_str(), RegimeName(key.second), LoadOf(r, key.second).c_str(),
            IsaOf(r, key.second).c_str(), static_cast<unsigned long long>(cell.cycles),
            static_cast<unsigned long long>(cell.errorCycles), ClockCell(cell).c_str(),
            Celsius(cell.highestCelsius).c_str(),
            cell.machineChecks ? std::to_string(*cell.machineChecks).c_str() : "-", cell.Verdict());
        out << line;
    }
    for (const auto& key : RowOrder(r)) {
        const SweepCell& cell = r.tally.Cells().at(key);
        if (!cell.bursts.empty()) out << BurstsLine(key.first, cell.bursts) << "\n";
    }
    if (!r.machineChecksReadable) {
        out << "Machine-check counters (mce): not available (no /proc/interrupts MCE, THR or "
               "DFR lines, no EDAC counts)\n";
    }
    if (!r.topology.ApicUnknownWhy().empty())
        out << "APIC ids not shown: " << r.topology.ApicUnknownWhy() << "\n";
    for (const auto& [regime, cell] : r.tally.Migrated()) {
        out << "Charged to no processor (migrated during the cycle), " << RegimeName(regime) << ": "
            << cell.cycles << " cycles, " << cell.errorCycles << " errors\n";
    }
    for (const SweepError& e : r.errors) out << ErrorLine(e) << "\n";
    for (const RetestOutcome& t : r.retests) {
        out << "Retest cpu " << t.processor << " " << RegimeName(t.regime) << " (" << t.load
            << (t.allCore ? " on every processor" : " alone") << "): " << t.verdict.Text() << "\n";
    }
    if (!r.stopMessage.empty()) out << r.stopMessage << "\n";
    out << "Result: " << ResultWord(r) << ", " << r.stepsRun << " of " << r.stepsPlanned
        << " steps, highest processor temperature " << Celsius(r.highestCelsius) << "\n";
}

ordered_json SweepReport(const RunSetup& setup, const SweepOptions& options, const SweepResult& r) {
    const auto time = [](std::chrono::system_clock::time_point t) { return OcpTimestamp(t); };
    ordered_json report = {{"schema_version", kReportSchemaVersion},
                           {"program", "quarrion-stress"},
                           {"version", kStressVersion},
                           {"host", setup.hostName},
                           {"processor", setup.processorName},
                           {"clock", setup.clockText},
                           {"start", r.resumedStart.empty() ? time(r.startTime) : r.resumedStart},
                           {"end", time(r.endTime)}};
    ordered_json regimes = ordered_json::array();
    for (Regime regime : options.regimes) regimes.push_back(RegimeName(regime));
    ordered_json processors = ordered_json::array();
    for (const ProcessorPlace& p : r.topology.Places()) {
        processors.push_back({{"processor", p.processor},
                              {"apic_id", p.apicId ? ordered_json(*p.apicId) : nullptr},
                              {"core", p.core},
                              {"die", p.die},
                              {"package", p.package}});
    }
    ordered_json steps = ordered_json::array();
    for (const auto& key : RowOrder(r)) {
        const ProcessorPlace* place = r.topology.Find(key.first);
        ordered_json step = {
            {"processor", key.first},
            {"core", place && place->core >= 0 ? ordered_json(place->core) : nullptr},
            {"die", place && place->die >= 0 ? ordered_json(place->die) : nullptr},
            {"apic_id", place && place->apicId ? ordered_json(*place->apicId) : nullptr},
            {"regime", RegimeName(key.second)},
            {"load", LoadOf(r, key.second)},
            {"isa", IsaOf(r, key.second)}};
        step.update(CellJson(r.tally.Cells().at(key)));
        steps.push_back(std::move(step));
    }
    ordered_json migrated = ordered_json::array();
    for (const auto& [regime, cell] : r.tally.Migrated()) {
        ordered_json row = {{"regime", RegimeName(regime)}};
        row.update(CellJson(cell));
        migrated.push_back(std::move(row));
    }
    ordered_json errors = ordered_json::array();
    for (const SweepError& e : r.errors) errors.push_back(SweepErrorJson(e));
    ordered_json retests = ordered_json::array();
    for (const RetestOutcome& t : r.retests) {
        retests.push_back({{"processor", t.processor},
                           {"regime", RegimeName(t.regime)},
                           {"load", t.load},
                           {"all_core", t.allCore},
                           {"repeats", t.verdict.repeats},
                           {"ran", t.verdict.ran},
                           {"failed", t.verdict.failed},
                           {"verdict", t.verdict.Word()}});
    }
    report["status"] = r.status;
    report["result"] = ResultWord(r);
    report["sweep"] = {{"seconds_per_step", r.slotSeconds},
                       {"regimes", regimes},
                       {"retest", options.retests},
                       {"max_temperature_c", Nullable(options.maxTempCelsius)},
                       {"steps_planned", r.stepsPlanned},
                       {"steps_run", r.stepsRun},
                       {"highest_temperature_c", Nullable(r.highestCelsius)},
                       {"stop_message", r.stopMessage},
                       {"stalled", r.stalled},
                       {"processors", processors},
                       {"steps", steps},
                       {"migrated", migrated},
                       {"errors", errors},
                       {"retests", retests}};
    return report;
}
