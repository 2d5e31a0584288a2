// The OCP stream of runs that ended every way: checked line by line, then for
// what each step and the run's end say.
#include "tools/stress/ocp.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <sstream>

#include "engine/complex_math.h"
#include "engine/matrix.h"
#include "engine/memory.h"
#include "engine/verification.h"
#include "tests/tools/ocp_checks.h"
#include "tools/stress/machine_info.h"
#include "tools/stress/platform.h"
#include "tools/stress/report.h"
#include "tools/stress/sensors.h"

namespace {

using ocp_checks::All;

std::vector<nlohmann::json> Stream(const RunSetup& setup, const RunResult& r) {
    std::stringstream text;
    OcpStream stream(text);
    stream.Begin(setup, "quarrion-stress --ocp run.jsonl");
    stream.End(r);
    return ocp_checks::CheckStream(text);
}

RunSetup ThreeWorkers() {
    RunSetup setup;
    setup.options.extraMatrix = 0;
    setup.hostName = "rack7-node12";
    setup.platformInfos = {"AMD Athlon", "family 6 model 4 stepping 2"};
    return setup;
}

TEST(OcpStream, RunEndAndStepEndsAgreeWithHowTheRunEnded) {
    struct Case {
        int status;
        bool interrupted, started, stalled, hot;
        const char *runStatus, *result, *stepStatus, *symptom, *resultLine;
    };
    const Case cases[] = {
        {kExitClean, false, true, false, false, "COMPLETE", "PASS", "COMPLETE", nullptr,
         "Result: PASS"},
        {kExitInterrupted, true, true, false, false, "ERROR", "NOT_APPLICABLE", "COMPLETE",
         "interrupted", "Result: PASS"},
        {kExitErrors, false, true, true, false, "COMPLETE", "FAIL", "ERROR", "stalled",
         "Result: FAIL, a worker stalled"},
        {kExitErrors, true, true, true, false, "ERROR", "FAIL", "ERROR", "stalled", "Result: FAIL"},
        {kExitCouldNotRun, false, false, false, false, "ERROR", "NOT_APPLICABLE", "SKIP",
         "not-started", "Result: COULD NOT RUN"},
        // --max-temp ended it: cut short, yet what it found before stands.
        {kExitTooHot, false, true, false, true, "ERROR", "NOT_APPLICABLE", "COMPLETE", "stopped",
         "Result: STOPPED, too hot; no errors"},
        {kExitErrors, false, true, true, true, "ERROR", "FAIL", "ERROR", "stopped",
         "Result: FAIL, a worker stalled"},
    };
    for (const Case& c : cases) {
        RunResult r;
        r.status = c.status;
        r.interrupted = c.interrupted;
        if (c.hot) r.stopMessage = "Stopped: 95.0 C (coretemp Package id 0) reached --max-temp 95";
        for (WorkerRoutine routine : {MatrixWorker, MemoryWorker, ComplexMathWorker}) {
            r.workers.push_back(std::make_shared<WorkerState>());
            r.workers.back()->load = FindDialogLoad(Registry(), routine);
            r.workers.back()->started = c.started;
            r.workers.back()->finished = true;
        }
        r.workers[1]->stalled = c.stalled;
        const auto lines = Stream(ThreeWorkers(), r);
        const auto end = All(lines, "testRunEnd").at(0)["testRunEnd"];
        EXPECT_EQ(end["status"], c.runStatus) << c.status;
        EXPECT_EQ(end["result"], c.result) << c.status;
        const auto stepEnds = All(lines, "testStepEnd");
        ASSERT_EQ(stepEnds.size(), 3u);
        EXPECT_EQ(stepEnds[1]["testStepEnd"]["status"], c.stepStatus) << c.status;
        std::set<std::string> symptoms;
        for (const auto& e : All(lines, "error")) symptoms.insert(e["error"]["symptom"]);
        EXPECT_EQ(symptoms.count(c.symptom ? c.symptom : ""), c.symptom ? 1u : 0u) << c.status;
        EXPECT_EQ(ResultLine(r).rfind(c.resultLine, 0), 0u) << ResultLine(r);
        EXPECT_EQ(BuildReport(ThreeWorkers(), r)["stop_message"], r.stopMessage);
    }
}

void FlipC7(double* const* arrays, std::size_t) {
    std::uint64_t bits = DoubleBits(arrays[2][7]) ^ 0x10;
    std::memcpy(&arrays[2][7], &bits, sizeof bits);
}

TEST(OcpStream, AFailingRunHasOneFailDiagnosisPerMismatchWithItsWholeStory) {
    RunSetup setup = ThreeWorkers();
    setup.options.seconds = 30;
    setup.options.extraMatrix = 1;
    setup.processors = UsableProcessors();
    RunSeams seams;
    seams.tick = std::chrono::milliseconds(20);
    seams.faults = {{0, 2, {FlipC7, false}}, {3, 3, {FlipC7, true}}};
    seams.until = [](const RunResult& r) { return r.workers[3]->cycles > 3; };
    const std::atomic<bool> never{false};
    std::ostringstream out;
    const RunResult r = RunStress(setup, out, false, never, seams);
    ASSERT_EQ(r.status, kExitErrors);

    const auto lines = Stream(setup, r);
    const auto start = All(lines, "testRunStart").at(0)["testRunStart"];
    EXPECT_EQ(start["dutInfo"]["name"], "rack7-node12");
    EXPECT_EQ(start["dutInfo"]["platformInfos"][1]["info"], "family 6 model 4 stepping 2");
    EXPECT_EQ(start["parameters"]["extra_matrix"], 1);
    std::map<std::string, std::vector<nlohmann::json>> diagnoses;
    for (const auto& d : All(lines, "diagnosis"))
        diagnoses[d["testStepId"]].push_back(d["diagnosis"]);
    for (const auto& [step, kind, cycle] :
         {std::tuple{"1", "pass", 2}, std::tuple{"4", "cross-core", 3}}) {
        ASSERT_EQ(diagnoses[step].size(), 1u) << step;
        const auto& d = diagnoses[step][0];
        EXPECT_EQ(d["type"], "FAIL");
        EXPECT_EQ(d["verdict"], std::string(kind) + "-mismatch");
        const std::string message = d["message"];
        const ErrorRecord& e = r.workers[std::stoul(step) - 1]->errors.at(0);
        for (const std::string& part :
             {"cycle " + std::to_string(cycle), "cpu " + std::to_string(e.processor),
              std::string("array C element 7"), Hex64(DoubleBits(e.first.first)),
              Hex64(DoubleBits(e.first.second)), std::string("xor 0x0000000000000010")})
            EXPECT_NE(message.find(part), std::string::npos) << part << " in " << message;
    }
    EXPECT_EQ(diagnoses["3"].at(0)["type"], "PASS") << "complex math was clean";
    EXPECT_EQ(diagnoses["reference-MatrixWorker"].at(0)["type"], "PASS");
    const auto end = All(lines, "testRunEnd").at(0)["testRunEnd"];
    EXPECT_EQ(end, (nlohmann::json{{"status", "COMPLETE"}, {"result", "FAIL"}}));
}

// CPUID answers from a table; leaves not in it answer zeros.
class TableCpuid : public CpuidSource {
public:
    std::map<std::uint32_t, CpuidRegisters> leaves;
    std::uint32_t Supported() override { return 1; }
    CpuidRegisters Query(std::uint32_t leaf) override { return leaves[leaf]; }
};

void PutText(CpuidRegisters& r, const char* sixteen) {
    std::memcpy(&r, sixteen, 16);
}

TEST(MachineInfo, BrandAndSignatureComeFromCpuidWithTheExtendedFieldsFolded) {
    TableCpuid cpuid;
    cpuid.leaves[1].eax = 0x00A10F11;  // family 0xF + 0xA, model 1 + 0x10, stepping 1
    EXPECT_EQ(Signature(cpuid), "family 25 model 17 stepping 1");
    cpuid.leaves[1].eax = 0x00050657;  // family 6: the extended model counts
    EXPECT_EQ(Signature(cpuid), "family 6 model 85 stepping 7");
    EXPECT_EQ(BrandString(cpuid), "") << "no extended leaves";
    cpuid.leaves[0x80000000].eax = 0x80000004;
    PutText(cpuid.leaves[0x80000002], "   Quarrion Test");
    PutText(cpuid.leaves[0x80000003], " CPU @ 1.00GHz  ");
    cpuid.leaves[0x80000004] = {};  // the rest of the string: NULs
    EXPECT_EQ(BrandString(cpuid), "Quarrion Test CPU @ 1.00GHz");
    const auto infos = PlatformInfos(cpuid);
    ASSERT_EQ(infos.size(), 4u);
    EXPECT_EQ(infos[0], "Quarrion Test CPU @ 1.00GHz");
    EXPECT_EQ(infos[2].rfind("compiler GCC ", 0), 0u);
    EXPECT_EQ(infos[3].rfind("C runtime ", 0), 0u);
}

std::string g_stream;

void CheckBroken() {
    std::istringstream in(g_stream);
    ocp_checks::CheckStream(in);
}

TEST(OcpChecks, RejectStreamsThatBreakTheFormat) {
    RunResult r;
    for (WorkerRoutine routine : {MatrixWorker, MemoryWorker, ComplexMathWorker}) {
        r.workers.push_back(std::make_shared<WorkerState>());
        r.workers.back()->load = FindDialogLoad(Registry(), routine);
    }
    r.workers[0]->started = true;
    std::ostringstream text;
    OcpStream stream(text);
    stream.Begin(ThreeWorkers(), "quarrion-stress");
    stream.End(r);
    const std::string sound = text.str();
    struct Case {
        const char *from, *to;  // the first occurrence changed
    };
    const Case cases[] = {
        {R"("sequenceNumber":4,)", R"("sequenceNumber":5,)"},
        {R"(Z","schemaVersion")", R"(","schemaVersion")"},
        {R"("status":"COMPLETE","result")", R"("status":"DONE","result")"},
        {R"("unit":"cycles"})", R"("unit":"cycles","why":1})"},
        {R"("dutInfoId":"rack7-node12",)", ""},
        {R"("testStepId":"1","measurement")", R"("testStepId":"9","measurement")"},
        {R"("type":"PASS")", R"("type":"OK")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        g_stream = sound;
        const std::size_t at = g_stream.find(c.from);
        ASSERT_NE(at, std::string::npos);
        g_stream.replace(at, std::strlen(c.from), c.to);
        EXPECT_NONFATAL_FAILURE(CheckBroken(), "");
    }
    g_stream = sound;
    CheckBroken();
}

}  // namespace

namespace {

// A finished run of the dialog's three workers, every one clean, and the checks
// of its two loads with results, both elected.
RunResult CleanThree() {
    RunResult r;
    for (WorkerRoutine routine : {MatrixWorker, MemoryWorker, ComplexMathWorker}) {
        r.workers.push_back(std::make_shared<WorkerState>());
        r.workers.back()->load = FindDialogLoad(Registry(), routine);
        r.workers.back()->started = true;
        r.workers.back()->finished = true;
        r.workers.back()->cycles = 5;
    }
    for (std::size_t worker : {0, 2}) {
        RoutineCheck check;
        check.load = r.workers[worker]->load;
        check.workers = {worker};
        check.outcome = VoteOutcome{1, true, 0x1234, {{worker}}, {}};
        r.checks.push_back(check);
    }
    return r;
}

TEST(OcpStream, AFailingRunSaysWhyInAFailDiagnosisOrAnError) {
    const struct {
        const char* cause;
        void (*spoil)(RunResult&);
        const char* said;  // a FAIL diagnosis's verdict, or an error's symptom
    } cases[] = {
        {"a pass mismatch",
         [](RunResult& r) {
             r.workers[0]->errors.push_back({2, 0, ErrorKind::Pass, {}, 1, 0});
             r.workers[0]->errorCycles = 1;
         },
         "pass-mismatch"},
        {"a known-answer mismatch",
         [](RunResult& r) {
             r.workers[2]->errors.push_back({1, 0, ErrorKind::KnownAnswer, {-1}, 0, 7});
             r.workers[2]->errorCycles = 1;
         },
         "known-answer-mismatch"},
        {"a stall", [](RunResult& r) { r.workers[1]->stalled = true; }, "stalled"},
        {"a disagreement",
         [](RunResult& r) {
             r.checks[0].crossCheck = true;
             r.checks[0].outcome = VoteOutcome{2, false, 0, {{0}, {1}}, {}};
         },
         "cross-core-disagreement"},
        {"an unexpected digest", [](RunResult& r) { r.checks[1].expectedDigest = 0x99; },
         "digest-mismatch"},
        {"a reference that is not the known answer",
         [](RunResult& r) { r.checks[0].knownDigest = 0x4321; }, "known-answer-mismatch"},
        {"nothing recorded", [](RunResult&) {}, "failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cause);
        RunResult r = CleanThree();
        r.status = kExitErrors;
        c.spoil(r);
        const auto lines = Stream(ThreeWorkers(), r);
        std::set<std::string> said;
        for (const auto& d : All(lines, "diagnosis"))
            if (d["diagnosis"]["type"] == "FAIL") said.insert(d["diagnosis"]["verdict"]);
        for (const auto& e : All(lines, "error")) said.insert(e["error"]["symptom"]);
        EXPECT_EQ(said, (std::set<std::string>{c.said}));
    }
    RunResult clean = CleanThree();
    for (const auto& d : All(Stream(ThreeWorkers(), clean), "diagnosis"))
        EXPECT_EQ(d["diagnosis"]["type"], "PASS") << d;
}

TEST(OcpStream, AReportThatCouldNotBeWrittenIsAnErrorOfTheRunWhichStillEnds) {
    RunResult r = CleanThree();
    std::stringstream text;
    OcpStream stream(text);
    stream.Begin(ThreeWorkers(), "quarrion-stress --json /dev/full");
    stream.End(r, "writing the report '/dev/full' failed");
    const auto lines = ocp_checks::CheckStream(text);
    const auto errors = All(lines, "error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0]["error"]["symptom"], "report-not-written");
    EXPECT_EQ(errors[0]["error"]["message"], "writing the report '/dev/full' failed");
    EXPECT_EQ(lines.back()["testRunArtifact"]["testRunEnd"],
              (nlohmann::json{{"status", "ERROR"}, {"result", "PASS"}}));
}

}  // namespace
