// The quarrion-stress program as a script sees it: exit statuses, output, signals.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "quarrion_version.h"
#include "tests/tools/ocp_checks.h"
#include "tools/stress/isa.h"
#include "tools/stress/machine_info.h"

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
    return text;
}

// Runs the program with stdout and stderr on pipes (never a terminal). When
// interruptAfter is set, sends SIGINT after that long.
Outcome RunProgram(std::vector<std::string> args, std::chrono::milliseconds interruptAfter = {}) {
    int out[2], err[2];
    EXPECT_EQ(pipe(out), 0);
    EXPECT_EQ(pipe(err), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        std::vector<char*> argv{const_cast<char*>(QUARRION_STRESS)};
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(QUARRION_STRESS, argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    std::thread interrupter;
    if (interruptAfter.count() > 0) {
        interrupter = std::thread([=] {
            std::this_thread::sleep_for(interruptAfter);
            kill(child, SIGINT);
        });
    }
    Outcome o;
    std::thread readErr([&] { o.err = ReadAll(err[0]); });
    o.out = ReadAll(out[0]);
    readErr.join();
    int status = 0;
    waitpid(child, &status, 0);
    if (interrupter.joinable()) interrupter.join();
    close(out[0]);
    close(err[0]);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

// A fresh file name under /tmp, removed again when the test ends.
class TempFile {
public:
    TempFile() {
        const int fd = mkstemp(path_);
        EXPECT_GE(fd, 0);
        if (fd >= 0) close(fd);
    }
    ~TempFile() { unlink(path_); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const char* path() const { return path_; }
    nlohmann::json Parse() const {
        std::ifstream in(path_);
        return nlohmann::json::parse(in);
    }

private:
    char path_[32] = "/tmp/quarrion-report-XXXXXX";
};

TEST(StressProgram, BadUsageExitsTwoWithOneLineNamingTheArgument) {
    const Outcome o = RunProgram({"--seconds", "soon"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err.rfind("quarrion-stress: --seconds: 'soon'", 0), 0u) << o.err;
    EXPECT_NE(o.err.find("usage:"), std::string::npos);
    EXPECT_TRUE(o.out.empty());
    EXPECT_EQ(RunProgram({"--frobnicate"}).status, 2);
}

TEST(StressProgram, VersionAndHelpExitZero) {
    EXPECT_EQ(RunProgram({"--version"}).out, "quarrion-stress " QUARRION_VERSION "\n");
    const Outcome help = RunProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--cycle-cores"), std::string::npos);
}

TEST(StressProgram, ACleanRunToAPipeHasNoLiveLineAndExitsZero) {
    const Outcome o = RunProgram({"--seconds", "1"});
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_EQ(o.out.find('\r'), std::string::npos) << "no live line without a terminal";
    // The processor by its own brand string, and the counter's rate by its name.
    const std::string brand = BrandString(ActiveCpuidSource());
    EXPECT_NE(o.out.find("Processor: " + brand + "\n"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find(" MHz (the counter's, not the cores' clock)"), std::string::npos);
    EXPECT_EQ(o.out.find("Raw clock"), std::string::npos);
    EXPECT_NE(o.out.find("MatrixWorker"), std::string::npos);
    EXPECT_NE(o.out.find("Result: PASS"), std::string::npos);

    const Outcome quiet = RunProgram({"--seconds", "1", "--quiet"});
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out.rfind("Result: PASS", 0), 0u) << quiet.out;
}

TEST(StressProgram, CtrlCStopsLikeTheDialogsStopAndExitsThree) {
    const TempFile ocp;
    const Outcome o =
        RunProgram({"--seconds", "60", "--ocp", ocp.path()}, std::chrono::milliseconds(2500));
    EXPECT_EQ(o.status, 3) << o.out << o.err;
    EXPECT_NE(o.out.find("interrupted"), std::string::npos);
    EXPECT_NE(o.out.find("Result: PASS"), std::string::npos) << "the summary still prints";
    std::ifstream in(ocp.path());
    const auto lines = ocp_checks::CheckStream(in);
    EXPECT_EQ(ocp_checks::All(lines, "error").at(0)["error"]["symptom"], "interrupted");
    EXPECT_EQ(lines.back()["testRunArtifact"]["testRunEnd"],
              (nlohmann::json{{"status", "ERROR"}, {"result", "NOT_APPLICABLE"}}));
}

TEST(StressProgram, TheJsonReportParsesBack) {
    const TempFile file, ocp;
    const Outcome o = RunProgram(
        {"--seconds", "1", "--extra-matrix", "1", "--json", file.path(), "--ocp", ocp.path()});
    EXPECT_EQ(o.status, 0) << o.err;
    const nlohmann::json report = file.Parse();
    EXPECT_EQ(report["exit_status"], 0);
    EXPECT_EQ(report["schema_version"], 2);
    EXPECT_FALSE(report["host"].get<std::string>().empty());
    std::ifstream in(ocp.path());
    const auto lines = ocp_checks::CheckStream(in);
    const auto start = lines.at(1)["testRunArtifact"]["testRunStart"];
    EXPECT_EQ(start["dutInfo"]["name"], report["host"]);
    // The build's C runtime is in both, so that a fleet's reports group by build.
    for (std::size_t i = 0; i < report["platform_infos"].size(); ++i)
        EXPECT_EQ(report["platform_infos"][i], start["dutInfo"]["platformInfos"][i]["info"]);
    EXPECT_EQ(report["platform_infos"].size(), start["dutInfo"]["platformInfos"].size());
    EXPECT_NE(start["commandLine"].get<std::string>().find("--extra-matrix 1"), std::string::npos);
    EXPECT_EQ(ocp_checks::All(lines, "testStepStart").size(), 4u + 2u) << "workers, references";
    for (const auto& d : ocp_checks::All(lines, "diagnosis"))
        EXPECT_EQ(d["diagnosis"]["type"], "PASS");
    EXPECT_EQ(lines.back()["testRunArtifact"]["testRunEnd"],
              (nlohmann::json{{"status", "COMPLETE"}, {"result", "PASS"}}));
    EXPECT_EQ(report["options"]["extra_matrix"], 1);
    ASSERT_EQ(report["workers"].size(), 4u);
    for (const auto& w : report["workers"]) {
        EXPECT_GT(w["cycles"].get<int>(), 0);
        EXPECT_TRUE(w["errors"].empty());
    }
    EXPECT_EQ(report["workers"][3]["routine"], "MatrixWorker");
}

TEST(StressProgram, AnUnwritableReportExitsFourBeforeRunning) {
    const Outcome o = RunProgram({"--json", "/nonexistent-dir/report.json"});
    EXPECT_EQ(o.status, 4);
    EXPECT_NE(o.err.find("/nonexistent-dir/report.json"), std::string::npos);
    EXPECT_EQ(o.out.find("Result:"), std::string::npos) << "nothing ran";
}

TEST(StressProgram, SelfTestPassesAndReportsBothInjectedFaults) {
    const TempFile file;
    const Outcome o = RunProgram({"--self-test", "--json", file.path()});
    EXPECT_EQ(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("detected by the two-pass check"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("detected by the cross-core check"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("PASS"), std::string::npos);
    const nlohmann::json report = file.Parse();
    EXPECT_EQ(report["options"]["self_test"], true);
    EXPECT_EQ(report["exit_status"], 1) << "the faulty run itself fails";
    for (const auto& [worker, kind] : {std::pair{0, "pass"}, std::pair{3, "cross-core"}}) {
        const auto& error = report["workers"][worker]["errors"].at(0);
        EXPECT_EQ(error["kind"], kind);
        EXPECT_EQ(error["element"], 7);
        EXPECT_EQ(error["array"], "B");
        EXPECT_EQ(error["xor_mask"], "0x0000000000000001");
    }
}

TEST(StressProgram, AnExpectedDigestPassesWhenItIsThisMachinesAndFailsOtherwise) {
    const TempFile file;
    ASSERT_EQ(RunProgram({"--seconds", "1", "--extra-matrix", "1", "--json", file.path()}).status,
              0);
    const nlohmann::json report = file.Parse();
    const std::string matrix = report["references"][0]["digest"];
    const std::string complex = report["references"][1]["digest"];
    const std::string right[] = {"MatrixWorker=" + matrix, "ComplexMathWorker=" + complex};
    const Outcome same =
        RunProgram({"--seconds", "1", "--expect-digest", right[0], "--expect-digest", right[1]});
    EXPECT_EQ(same.status, 0) << same.out;
    EXPECT_NE(same.out.find("Expected digest MatrixWorker: " + matrix + ", matches"),
              std::string::npos)
        << same.out;
    std::string wrong = matrix;
    wrong.back() = wrong.back() == '0' ? '1' : '0';
    const Outcome other =
        RunProgram({"--seconds", "1", "--expect-digest", "MatrixWorker=" + wrong});
    EXPECT_EQ(other.status, 1) << other.out;
    EXPECT_NE(other.out.find("MISMATCH"), std::string::npos) << other.out;
    EXPECT_NE(other.out.find("Result: FAIL, a reference digest is not the expected one"),
              std::string::npos)
        << other.out;
}

TEST(StressProgram, LoadAndInstructionSetMistakesExitTwoWithAClearMessage) {
    struct Case {
        std::vector<std::string> args;
        const char* message;  // the first line of stderr starts with it
    };
    std::vector<Case> cases = {
        {{"--load", "fft"},
         "quarrion-stress: --load: unknown load 'fft'; the loads are: matrix, memory, "
         "complex-math"},
        {{"--isa", "mmx"}, "quarrion-stress: --isa: 'mmx' is not one of avx512, avx2, sse2"},
    };
    // Each instruction set this machine lacks, forced, is refused before anything runs.
    for (Isa isa : {Isa::Avx512, Isa::Avx2, Isa::Sse2}) {
        if (!(MachineIsas() & IsaBit(isa)))
            cases.push_back({{"--isa", IsaName(isa), "--seconds", "1"}, "quarrion-stress: --isa "});
    }
    for (const Case& c : cases) {
        const Outcome o = RunProgram(c.args);
        EXPECT_EQ(o.status, 2) << c.args[1];
        EXPECT_EQ(o.err.rfind(c.message, 0), 0u) << o.err;
        EXPECT_EQ(o.out.find("Result:"), std::string::npos) << "nothing ran";
    }
}

TEST(StressProgram, ListLoadsNamesEveryLoadWithTheSetItUsesHere) {
    const Outcome o = RunProgram({"--list-loads"});
    EXPECT_EQ(o.status, 0) << o.err;
    for (const char* line : {"matrix         base     the dialog's matrix worker",
                             "memory         base     the dialog's memory worker",
                             "complex-math   base     the dialog's complex-math worker"})
        EXPECT_NE(o.out.find(line), std::string::npos) << o.out;
}

TEST(StressProgram, AReportThatCannotBeWrittenStillLeavesAFinishedOcpStream) {
    const TempFile ocp;
    const Outcome o = RunProgram({"--seconds", "1", "--json", "/dev/full", "--ocp", ocp.path()});
    EXPECT_EQ(o.status, 4) << o.out << o.err;
    EXPECT_NE(o.err.find("writing the report '/dev/full' failed"), std::string::npos) << o.err;
    std::ifstream in(ocp.path());
    const auto lines = ocp_checks::CheckStream(in);
    const auto errors = ocp_checks::All(lines, "error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0]["error"]["symptom"], "report-not-written");
    EXPECT_EQ(lines.back()["testRunArtifact"]["testRunEnd"]["status"], "ERROR");
}

// kill -9 in the sweep's second step, as a freeze or a reboot ends it: the
// stream on disk names that step, and --resume finishes the sweep with it
// reported machine-stopped.
TEST(StressProgram, ASweepKilledMidStepResumesWithThatStepMachineStopped) {
    const TempFile ocp;
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(QUARRION_STRESS, QUARRION_STRESS, "--sweep", "--sweep-seconds", "1", "--regimes",
              "light,heavy", "--ocp", ocp.path(), static_cast<char*>(nullptr));
        _exit(127);
    }
    auto starts = [&] {
        std::ifstream in(ocp.path());
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        std::size_t n = 0;
        for (std::size_t at = 0; (at = text.find("testStepStart", at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (starts() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_EQ(starts(), 2u);

    const Outcome o = RunProgram({"--resume", ocp.path(), "--quiet"});
    EXPECT_EQ(o.status, 1) << o.out << o.err;
    // The second step is the first processor's heavy one.
    const std::size_t stopped = o.out.find("MACHINE-STOPPED");
    ASSERT_NE(stopped, std::string::npos) << o.out;
    const std::string row = o.out.substr(o.out.rfind('\n', stopped) + 1, stopped);
    EXPECT_NE(row.find(" heavy "), std::string::npos) << row;
    EXPECT_NE(o.out.find(", machine stopped:"), std::string::npos) << o.out;
    std::ifstream in(ocp.path());
    const auto lines = ocp_checks::CheckStream(in);
    EXPECT_EQ(ocp_checks::All(lines, "testRunStart").size(), 1u);
    // The stream has ended: a second resume has nothing to do.
    const Outcome again = RunProgram({"--resume", ocp.path()});
    EXPECT_EQ(again.status, 0);
    EXPECT_NE(again.out.find("has already ended (FAIL)"), std::string::npos) << again.out;
}

TEST(StressProgram, ResumeRefusesAFileThatIsNoSweepStreamBeforeRunning) {
    const TempFile file;
    std::ofstream(file.path()) << "{\"sequenceNumber\":0}\nnot json\n";
    const Outcome o = RunProgram({"--resume", file.path()});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, "");
    EXPECT_NE(o.err.find(std::string(file.path()) + " line 1: "), std::string::npos) << o.err;
}

}  // namespace

// A fleet's files as --summarize meets them: a run's report and stream count
// once; a stream cut short is a verdict of its own; a file it cannot read is
// named and makes the status 2, whatever the others say.
TEST(StressProgram, SummarizeGivesOneVerdictPerRunAndItsExitStatus) {
    const TempFile json, ocp, cut, failing;
    const Outcome run =
        RunProgram({"--seconds", "1", "--quiet", "--json", json.path(), "--ocp", ocp.path()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::ifstream in(ocp.path());
    const std::string stream((std::istreambuf_iterator<char>(in)), {});
    std::ofstream(cut.path()) << stream.substr(0, stream.size() / 2);
    nlohmann::json bad = json.Parse();
    bad["exit_status"] = 1;
    std::ofstream(failing.path()) << bad.dump();
    const std::string host = bad["host"];
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> printed;  // each on its own line of stdout, or on stderr
    } cases[] = {
        {"a run's two files",
         {json.path(), ocp.path()},
         0,
         {"  PASS  ", "Fleet: 1 report(s), 1 passed, 0 did not, 0 outside"}},
        {"a stream cut short",
         {cut.path()},
         1,
         {"TRUNCATED", "Fleet: 1 report(s), 0 passed, 1 did not"}},
        {"a failed run", {failing.path(), json.path()}, 1, {"  FAIL  ", "1 did not"}},
        {"an unreadable file",
         {json.path(), "/nonexistent/r.json"},
         2,
         {"cannot read '/nonexistent/r.json'", "1 passed, 0 did not"}},
        {"as JSON", {"--json", failing.path()}, 1, {"\"exit_status\": 1", "\"result\": \"FAIL\""}},
        {"no files", {}, 2, {"needs the files"}},
        {"a run's option", {"--seconds", "1", json.path()}, 2, {"not '--seconds'"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args{"--summarize"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome o = RunProgram(args);
        EXPECT_EQ(o.status, c.status) << o.out << o.err;
        for (const std::string& text : c.printed)
            EXPECT_NE((o.out + o.err).find(text), std::string::npos) << text << "\n"
                                                                     << o.out << o.err;
        if (c.status != 2 && c.args.front() != "--json") {
            EXPECT_NE(o.out.find(host), std::string::npos);
        }
    }
}
