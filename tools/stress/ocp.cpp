// OCP Test and Validation output 2.0, written from its published field
// definitions with only the fields they define.
#include "tools/stress/ocp.h"

#include <cstdio>
#include <ctime>

#include "tools/stress/isa.h"
#include "tools/stress/report.h"

namespace {

using nlohmann::ordered_json;

}  // namespace

std::string OcpTimestamp(std::chrono::system_clock::time_point t) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch());
    const std::time_t seconds = static_cast<std::time_t>(ms.count() / 1000);
    const std::tm utc = UtcCalendar(seconds);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms.count() % 1000));
    return text;
}

namespace {

std::string StepId(std::size_t worker) {
    return std::to_string(worker + 1);
}

std::string ReferenceStepId(const RegisteredLoad& load) {
    return std::string("reference-") + RoutineName(load);
}

ordered_json Diagnosis(const std::string& verdict, const char* type, const std::string& message) {
    return {{"verdict", verdict}, {"type", type}, {"message", message}};
}

// testRunEnd's status and result, as the exit status says; a report that could
// not be written makes the run's status an error whatever it found.
std::pair<const char*, const char*> RunEnd(const RunResult& r, bool reportLost) {
    if (r.status == kExitCouldNotRun) return {"ERROR", "NOT_APPLICABLE"};
    const char* result = r.status == kExitErrors  ? "FAIL"
                         : r.status == kExitClean ? "PASS"
                                                  : "NOT_APPLICABLE";
    const bool cutShort = r.interrupted || !r.stopMessage.empty();
    return {cutShort || reportLost ? "ERROR" : "COMPLETE", result};
}

}  // namespace

std::string CommandLine(int argc, const char* const* argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i) line += ' ';
        line += arg.find(' ') == std::string::npos && !arg.empty() ? arg : "\"" + arg + "\"";
    }
    return line;
}

void OcpStream::Emit(const char* kind, ordered_json body) {
    const bool artifactExplains = body.contains("error") || (body.contains("diagnosis") &&
                                                             body["diagnosis"]["type"] == "FAIL");
    explained_ = explained_ || artifactExplains;
    ordered_json line;
    line["sequenceNumber"] = sequence_++;
    line["timestamp"] = OcpTimestamp(std::chrono::system_clock::now());
    line[kind] = std::move(body);
    out_ << line.dump() << "\n" << std::flush;  // a fleet may read the stream as it grows
}

void OcpStream::Step(std::size_t step, const char* kind, ordered_json body) {
    Emit("testStepArtifact", {{"testStepId", StepId(step)}, {kind, std::move(body)}});
}

void OcpStream::Begin(const RunSetup& setup, const std::string& commandLine) {
    const StressOptions& o = setup.options;
    Emit("schemaVersion", {{"major", 2}, {"minor", 0}});
    ordered_json platform = ordered_json::array();
    for (const std::string& info : setup.platformInfos) platform.push_back({{"info", info}});
    const std::string host = setup.hostName.empty() ? "unknown" : setup.hostName;
    ordered_json start = {
        {"name", "quarrion-stress"},
        {"version", kStressVersion},
        {"commandLine", commandLine},
        {"parameters", OptionsJson(o)},
        {"dutInfo", {{"dutInfoId", host}, {"name", host}, {"platformInfos", platform}}}};
    Emit("testRunArtifact", {{"testRunStart", std::move(start)}});
    const auto plan = PlanWorkers(setup);
    for (std::size_t i = 0; i < plan.size(); ++i) {
        Step(i, "testStepStart",
             {{"name", "worker " + StepId(i) + ": " + RoutineName(*plan[i].load) + ", load " +
                           plan[i].load->descriptor->name + ", isa " + IsaName(plan[i].isa)}});
    }
}

void OcpStream::End(const RunResult& r, const std::string& reportFailure) {
    for (std::size_t i = 0; i < r.workers.size(); ++i) {
        const WorkerState& w = *r.workers[i];
        const std::uint64_t cycles = w.cycles;
        Step(i, "measurement", {{"name", "cycles"}, {"value", cycles}, {"unit", "cycles"}});
        const double rate =
            r.elapsedSeconds > 0 ? static_cast<double>(cycles) / r.elapsedSeconds : 0.0;
        Step(i, "measurement", {{"name", "cycles per second"}, {"value", rate}, {"unit", "1/s"}});
        if (const auto flops = WorkerFlops(w, r.elapsedSeconds)) {
            Step(i, "measurement",
                 {{"name", "floating-point operations per second"},
                  {"value", *flops},
                  {"unit", "FLOP/s"}});
        }
        const char* status = "COMPLETE";
        if (!w.started) {
            Step(i, "error",
                 {{"symptom", "not-started"},
                  {"message", "the worker got no thread or no storage"}});
            status = "SKIP";
        } else if (w.stalled) {
            Step(i, "error",
                 {{"symptom", "stalled"}, {"message", "no cycle finished within the stall limit"}});
            status = "ERROR";
        } else {
            for (const ErrorRecord& e : w.errors) {
                Step(i, "diagnosis",
                     Diagnosis(std::string(ErrorKindName(e.kind)) + "-mismatch", "FAIL",
                               ErrorText(r, i, e)));
            }
            if (w.errorCycles == 0) {
                const bool known = w.descriptor().knownDigest != 0;
                const char* checked = w.descriptor().layout.size() == 0 ? "compared nothing"
                                      : w.crossCheck && known
                                          ? "passes, processors and the known answer agreed"
                                      : w.crossCheck ? "passes and processors agreed"
                                      : known        ? "passes and the known answer agreed"
                                                     : "passes agreed";
                Step(i, "diagnosis",
                     Diagnosis("no-mismatch", "PASS",
                               std::to_string(cycles) + " cycles, " + checked));
            }
        }
        Step(i, "testStepEnd", {{"status", status}});
    }
    for (const RoutineCheck& c : r.checks) {
        const std::string id = ReferenceStepId(*c.load);
        auto step = [&](const char* kind, ordered_json body) {
            Emit("testStepArtifact", {{"testStepId", id}, {kind, std::move(body)}});
        };
        step("testStepStart", {{"name", std::string("reference of ") + RoutineName(*c.load)}});
        const bool elected = c.outcome && c.outcome->majority;
        if (elected)
            step("measurement",
                 {{"name", "reference digest"}, {"value", Hex64(c.outcome->digest)}});
        const char* type = elected ? "PASS" : c.Disagreement() ? "FAIL" : "UNKNOWN";
        const char* verdict = elected            ? "reference-elected"
                              : c.Disagreement() ? "cross-core-disagreement"
                                                 : "no-reference";
        if (c.KnownDiffers()) {
            type = "FAIL";
            verdict = "known-answer-mismatch";
        }
        if (c.DigestDiffers()) {
            type = "FAIL";
            verdict = "digest-mismatch";
        }
        step("diagnosis", Diagnosis(verdict, type, CheckText(r, c)));
        step("testStepEnd", {{"status", "COMPLETE"}});
    }
    if (r.interrupted) {
        Emit(
            "testRunArtifact",
            {{"error",
              {{"symptom", "interrupted"}, {"message", "interrupted before the requested time"}}}});
    }
    if (!r.stopMessage.empty())
        Emit("testRunArtifact", {{"error", {{"symptom", "stopped"}, {"message", r.stopMessage}}}});
    if (!reportFailure.empty()) {
        Emit("testRunArtifact",
             {{"error", {{"symptom", "report-not-written"}, {"message", reportFailure}}}});
    }
    // Whatever failed the run is named above; should nothing have, the result line says it.
    if (r.status == kExitErrors && !explained_) {
        Emit("testRunArtifact", {{"error", {{"symptom", "failed"}, {"message", ResultLine(r)}}}});
    }
    const auto [status, result] = RunEnd(r, !reportFailure.empty());
    Emit("testRunArtifact", {{"testRunEnd", {{"status", status}, {"result", result}}}});
}
