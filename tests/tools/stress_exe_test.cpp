// quarrion-stress.exe as a Windows script sees it: exit statuses, the report and
// the OCP stream, the self-test, and Ctrl-C through the console control handler.
// Every run goes through console_interrupt, which gives it a console and
// delivers the control events.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/unique_resource.h"
#include "tests/tools/ocp_checks.h"

namespace {

using Handle = UniqueResource<HANDLE, ::CloseHandle>;

// A build path as Windows programs see it: Wine shows the Unix root as Z:.
std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') {
        for (char& c : path) c = c == '/' ? '\\' : c;
        path = "Z:" + path;
    }
    return path;
}

struct Outcome {
    DWORD status = 0xFFFFFFFF;
    std::string out, err;
};

// Collects what a pipe delivers until every writer has closed it.
class PipeReader {
public:
    explicit PipeReader(HANDLE pipe) : pipe_(pipe), thread_([this] { Read(); }) {}
    ~PipeReader() {
        if (thread_.joinable()) thread_.join();
    }
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;
    std::string Text() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }
    // Everything, once the writers are gone.
    std::string Finish() {
        thread_.join();
        return Text();
    }

private:
    void Read() {
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(pipe_.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) {
            const std::lock_guard<std::mutex> lock(mutex_);
            text_.append(buffer, n);
        }
    }
    Handle pipe_;
    std::mutex mutex_;
    std::string text_;
    std::thread thread_;
};

// Runs the program with these arguments. `requests` go to console_interrupt
// once the run's banner is out ('i' Ctrl-C, 'f' freeze the program).
Outcome RunProgram(const std::string& arguments, const std::string& requests = "") {
    Outcome o;
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr,
           errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0) ||
        !CreatePipe(&outRead, &outWrite, &inherit, 0) ||
        !CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        ADD_FAILURE() << "no pipes";
        return o;
    }
    Handle childIn(inRead), input(inWrite), childOut(outWrite), childErr(errWrite);
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    PipeReader out(outRead), err(errRead);

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::string command = "\"" + WindowsPath(CONSOLE_INTERRUPT) + "\" \"" +
                          WindowsPath(QUARRION_STRESS_EXE) + "\" " + arguments;
    PROCESS_INFORMATION info{};
    // A console of its own: this test program may have none to share.
    const bool started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE,
                                        CREATE_NEW_CONSOLE, nullptr, nullptr, &startup, &info);
    childIn.reset();
    childOut.reset();
    childErr.reset();
    if (!started) {
        ADD_FAILURE() << "cannot start " << command;
        return o;
    }
    const Handle process(info.hProcess), thread(info.hThread);
    if (!requests.empty()) {
        // The banner is flushed once the run is set up and its handler installed.
        for (int i = 0; i < 3000 && out.Text().find("Workers: ") == std::string::npos; ++i)
            Sleep(20);
        EXPECT_NE(out.Text().find("Workers: "), std::string::npos) << "no banner";
        for (const char request : requests) {
            DWORD written = 0;
            WriteFile(input.get(), &request, 1, &written, nullptr);
        }
    }
    input.reset();
    // console_interrupt ends the program at its own ceiling; this one is further.
    EXPECT_EQ(WaitForSingleObject(process.get(), 240000), WAIT_OBJECT_0);
    GetExitCodeProcess(process.get(), &o.status);
    o.out = out.Finish();
    o.err = err.Finish();
    return o;
}

// A fresh file in the temporary folder, removed again when the test ends.
class TempFile {
public:
    TempFile() {
        char folder[MAX_PATH] = {};
        GetTempPathA(sizeof folder, folder);
        GetTempFileNameA(folder, "qst", 0, path_);
    }
    ~TempFile() { DeleteFileA(path_); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::string path() const { return path_; }
    std::string Text() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    char path_[MAX_PATH] = {};
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(StressExe, ExitStatusesAndWhatEachPrints) {
    const struct {
        const char* arguments;
        DWORD status;
        const char* out;  // a part of standard output ("" for none expected)
        const char* err;  // a part of standard error
        bool outEmpty;
    } cases[] = {
        {"--seconds soon", 2, "", "quarrion-stress: --seconds: 'soon'", true},
        {"--frobnicate", 2, "", "usage:", true},
        {"--version", 0, "quarrion-stress 0.92", "", false},
        {"--help", 0, "--cycle-cores", "", false},
        {"--seconds 1", 0, "Result: PASS", "", false},
        {"--seconds 1 --quiet", 0, "Result: PASS", "", false},
        {"--seconds 1 --expect-digest MatrixWorker=0x0123456789abcdef", 1,
         "Result: FAIL, a reference digest is not the expected one", "", false},
        {"--json Z:\\nonexistent-dir\\report.json", 4, "", "nonexistent-dir", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const Outcome o = RunProgram(c.arguments);
        EXPECT_EQ(o.status, c.status) << o.out << o.err;
        EXPECT_TRUE(Has(o.out, c.out)) << o.out;
        EXPECT_TRUE(Has(o.err, c.err)) << o.err;
        if (c.outEmpty) {
            EXPECT_EQ(o.out, "");
        }
    }
}

TEST(StressExe, ARunToAPipeHasNoLiveLineAndQuietPrintsOnlyTheResult) {
    const Outcome o = RunProgram("--seconds 1");
    EXPECT_EQ(o.status, 0u) << o.out << o.err;
    for (std::size_t at = o.out.find('\r'); at != std::string::npos; at = o.out.find('\r', at + 1))
        EXPECT_EQ(o.out[at + 1], '\n') << "a live line's return, without a terminal";
    EXPECT_TRUE(Has(o.out, "Processor: ")) << o.out;
    EXPECT_TRUE(Has(o.out, "MatrixWorker")) << o.out;
    const Outcome quiet = RunProgram("--seconds 1 --quiet");
    EXPECT_EQ(quiet.out.rfind("Result: PASS", 0), 0u) << quiet.out;
}

TEST(StressExe, TheJsonReportAndTheOcpStreamParseBack) {
    const TempFile report, ocp;
    const Outcome o = RunProgram("--seconds 1 --extra-matrix 1 --json \"" + report.path() +
                                 "\" --ocp \"" + ocp.path() + "\"");
    EXPECT_EQ(o.status, 0u) << o.out << o.err;
    const nlohmann::json json = nlohmann::json::parse(report.Text(), nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << report.Text();
    EXPECT_EQ(json["exit_status"], 0);
    ASSERT_EQ(json["workers"].size(), 4u);
    for (const auto& w : json["workers"]) {
        EXPECT_GT(w["cycles"].get<int>(), 0);
        EXPECT_TRUE(w["errors"].empty());
    }
    std::istringstream stream(ocp.Text());
    const auto lines = ocp_checks::CheckStream(stream);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["testRunArtifact"]["testRunEnd"],
              (nlohmann::json{{"status", "COMPLETE"}, {"result", "PASS"}}));
}

TEST(StressExe, SelfTestPassesAndItsReportHoldsBothFaults) {
    const TempFile report;
    const Outcome o = RunProgram("--self-test --json \"" + report.path() + "\"");
    EXPECT_EQ(o.status, 0u) << o.out << o.err;
    EXPECT_TRUE(Has(o.out, "detected by the two-pass check")) << o.out;
    EXPECT_TRUE(Has(o.out, "detected by the cross-core check")) << o.out;
    const nlohmann::json json = nlohmann::json::parse(report.Text(), nullptr, false);
    ASSERT_FALSE(json.is_discarded()) << report.Text();
    EXPECT_EQ(json["exit_status"], 1) << "the faulty run itself fails";
    EXPECT_EQ(json["workers"][0]["errors"].at(0)["kind"], "pass");
    EXPECT_EQ(json["workers"][3]["errors"].at(0)["kind"], "cross-core");
}

// The first Ctrl-C lets every worker finish its cycle and prints the summary.
TEST(StressExe, OneCtrlCStopsAfterTheCycleAndPrintsTheSummary) {
    const TempFile ocp;
    const Outcome o = RunProgram("--seconds 120 --ocp \"" + ocp.path() + "\"", "i");
    EXPECT_EQ(o.status, 3u) << o.out << o.err;
    EXPECT_TRUE(Has(o.out, "interrupted")) << o.out;
    EXPECT_TRUE(Has(o.out, "Result: PASS")) << o.out;
    EXPECT_FALSE(Has(o.err, "GenerateConsoleCtrlEvent failed")) << o.err;
    std::istringstream stream(ocp.Text());
    const auto lines = ocp_checks::CheckStream(stream);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["testRunArtifact"]["testRunEnd"],
              (nlohmann::json{{"status", "ERROR"}, {"result", "NOT_APPLICABLE"}}));
}

// With the workers frozen, the first Ctrl-C waits for cycles that cannot end;
// the second must end the program at once, without the summary.
TEST(StressExe, ASecondCtrlCEndsAtOnce) {
    const Outcome o = RunProgram("--seconds 120", "fii");
    EXPECT_EQ(o.status, 3u) << o.out << o.err;
    EXPECT_FALSE(Has(o.out, "Result:")) << "no summary after the second Ctrl-C: " << o.out;
    EXPECT_FALSE(Has(o.out, "stalled")) << o.out;
    EXPECT_FALSE(Has(o.err, "GenerateConsoleCtrlEvent failed")) << o.err;
}

}  // namespace
