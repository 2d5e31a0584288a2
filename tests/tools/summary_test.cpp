// --summarize: what each collected file says, which machines stand out, and
// that no damaged or truncated file can bring it down.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/stress/summary.h"

namespace {

using Json = nlohmann::ordered_json;

Json Patched(Json j, const Json& patch) {
    j.merge_patch(patch);
    return j;
}

// A JSON report as the runner writes it, reduced to what the summary reads.
Json Report(const std::string& host, const std::string& start, int status) {
    return Patched(Json::parse(R"({
      "schema_version": 2, "program": "quarrion-stress", "version": "0.92",
      "platform_infos": ["AMD EPYC", "compiler GCC 12.2.0", "C runtime glibc 2.36"],
      "start": "", "host": "", "exit_status": 0, "stop_message": "",
      "workers": [
        {"routine": "MatrixWorker", "isa": "base", "last_processor": 0, "stalled": false,
         "errors": []},
        {"routine": "fma", "isa": "avx2", "last_processor": 1, "stalled": false, "errors": []}],
      "references": [
        {"routine": "MatrixWorker", "digest": "0xbe48103562df800c", "digest_differs": false,
         "known_differs": false, "disagreement": false},
        {"routine": "fma", "digest": "0x00000000000000f0", "digest_differs": false,
         "known_differs": false, "disagreement": false}]})"),
                   {{"host", host}, {"start", start}, {"exit_status", status}});
}

const char* const kStream =
    R"ocp({"sequenceNumber":0,"timestamp":"2026-12-08T16:32:30.100Z","schemaVersion":{"major":2,"minor":0}}
{"sequenceNumber":1,"timestamp":"2026-12-08T16:32:30.100Z","testRunArtifact":{"testRunStart":{"name":"quarrion-stress","version":"0.92","commandLine":"q","parameters":{},"dutInfo":{"dutInfoId":"n7","name":"n7","platformInfos":[{"info":"C runtime msvcrt (mingw-w64)"}]}}}}
{"sequenceNumber":2,"timestamp":"2026-12-08T16:32:30.100Z","testStepArtifact":{"testStepId":"1","testStepStart":{"name":"worker 1: MatrixWorker, load matrix, isa base"}}}
{"sequenceNumber":3,"timestamp":"2026-12-08T16:32:35.100Z","testStepArtifact":{"testStepId":"1","diagnosis":{"verdict":"cross-core-mismatch","type":"FAIL","message":"Error: worker 1 (MatrixWorker, cpu 2) cycle 3, cross-core: ..."}}}
{"sequenceNumber":4,"timestamp":"2026-12-08T16:32:35.100Z","testStepArtifact":{"testStepId":"1","testStepEnd":{"status":"COMPLETE"}}}
{"sequenceNumber":5,"timestamp":"2026-12-08T16:32:35.100Z","testStepArtifact":{"testStepId":"reference-MatrixWorker","measurement":{"name":"reference digest","value":"0xef7f54ee979462cc"}}}
{"sequenceNumber":6,"timestamp":"2026-12-08T16:32:35.100Z","testStepArtifact":{"testStepId":"reference-MatrixWorker","diagnosis":{"verdict":"digest-mismatch","type":"FAIL","message":"m"}}}
{"sequenceNumber":7,"timestamp":"2026-12-08T16:32:35.100Z","testRunArtifact":{"testRunEnd":{"status":"COMPLETE","result":"FAIL"}}}
)ocp";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

std::string Failures(const SummaryReport& r) {
    std::string text;
    for (const SummaryFailure& f : r.failures) {
        text += (text.empty() ? "" : "; ") + f.processor + ":";
        for (const std::string& kind : f.kinds) text += " " + kind;
    }
    return text;
}

std::string Digests(const SummaryReport& r) {
    std::string text;
    for (const SummaryDigest& d : r.digests) {
        text += (text.empty() ? "" : " ") + d.routine + "/" + d.isa + "=" +
                (d.digest.empty() ? "none" : d.digest) + (d.unexpected ? "!" : "");
    }
    return text;
}

std::string Cut(const std::string& text, const std::string& before) {
    return text.substr(0, text.find(before));
}

}  // namespace

TEST(Summary, EachKindOfFileGivesItsVerdictFailingProcessorsAndDigests) {
    Json failing = Report("n2", "2026-12-08T16:32:30Z", 1);
    failing["workers"][0]["errors"] = Json::parse(
        R"([{"kind": "cross-core", "processor": 3}, {"kind": "pass", "processor": 3},
            {"kind": "pass", "processor": null}])");
    failing["workers"][1]["stalled"] = true;
    failing["references"][0]["digest_differs"] = true;
    Json sweep = Json::parse(R"({"schema_version": 2, "program": "quarrion-stress", "status": 1,
        "sweep": {"errors": [{"processor": 5, "kind": "pass"}]}})");
    const std::string stream = kStream;
    struct Case {
        const char* what;
        std::string text;
        const char* result;
        int exitStatus;  // -1: none
        const char* failures;
        const char* digests;
    } cases[] = {
        {"a clean report", Report("n1", "2026-12-08T16:32:30Z", 0).dump(2), "PASS", 0, "",
         "MatrixWorker/base=0xbe48103562df800c fma/avx2=0x00000000000000f0"},
        {"errors, a stall and an unexpected digest", failing.dump(2), "FAIL", 1,
         "3: cross-core pass; ?: pass; 1: stalled",
         "MatrixWorker/base=0xbe48103562df800c! fma/avx2=0x00000000000000f0"},
        {"a sweep's report", sweep.dump(), "FAIL", 1, "5: pass", ""},
        {"an interrupted run", Report("n1", "x", 3).dump(), "INTERRUPTED", 3, "",
         "MatrixWorker/base=0xbe48103562df800c fma/avx2=0x00000000000000f0"},
        {"a whole stream", stream, "FAIL", 1, "2: cross-core",
         "MatrixWorker/base=0xef7f54ee979462cc!"},
        {"a stream interrupted",
         Replaced(Replaced(stream, R"("result":"FAIL")", R"("result":"NOT_APPLICABLE")"),
                  R"({"testRunEnd")",
                  R"({"error":{"symptom":"interrupted","message":"i"}}}
{"sequenceNumber":8,"testRunArtifact":{"testRunEnd")"),
         "INTERRUPTED", 3, "2: cross-core", "MatrixWorker/base=0xef7f54ee979462cc!"},
        {"a stream cut between lines", Cut(stream, R"({"sequenceNumber":5)"), "TRUNCATED", -1,
         "2: cross-core", ""},
        {"a stream cut inside a line", Cut(stream, R"("testStepEnd")"), "TRUNCATED", -1,
         "2: cross-core", ""},
        {"a stream with a damaged line", Replaced(stream, R"({"sequenceNumber":4,)", "{#"),
         "DAMAGED", -1, "2: cross-core", ""},
        {"a stream without its start", stream.substr(stream.find("\n{\"sequenceNumber\":2")),
         "DAMAGED", -1, "2: cross-core", "MatrixWorker/base=0xef7f54ee979462cc!"},
        {"a report cut short", Cut(Report("n1", "x", 0).dump(2), "\"workers\""), "DAMAGED", -1, "",
         ""},
        {"a report without exit status", Json{{"program", "quarrion-stress"}}.dump(), "DAMAGED", -1,
         "", ""},
        {"an exit status out of range",
         Patched(Report("n1", "x", 0), {{"exit_status", 1e300}}).dump(), "DAMAGED", -1, "", ""},
        {"fields of the wrong type",
         Patched(Report("n1", "x", 0),
                 Json::parse(R"({"host": 7, "workers": {"a": 1}, "references": [5, null,
                     {"routine": "MatrixWorker", "digest": 12, "digest_differs": "yes"}]})"))
             .dump(),
         "PASS", 0, "", "MatrixWorker/=none"},
        {"another program's JSON", "[1, 2, 3]", "DAMAGED", -1, "", ""},
        {"an empty file", "", "DAMAGED", -1, "", ""},
        {"a log file", "Result: PASS, no errors in 10047 cycles\n", "DAMAGED", -1, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SummaryReport r = ReadReport("f", c.text);
        EXPECT_EQ(r.result, c.result);
        EXPECT_EQ(r.exitStatus.value_or(-1), c.exitStatus);
        EXPECT_EQ(Failures(r), c.failures);
        EXPECT_EQ(Digests(r), c.digests);
        EXPECT_TRUE(!r.note.empty() || (r.result != "TRUNCATED" && r.result != "DAMAGED"));
    }
}

TEST(Summary, TheReportsOutsideTheLargestGroupOfTheirBuildAreNamed) {
    struct Machine {
        const char* file;
        const char* runtime;
        const char* digest;
        int status;
    };
    struct Case {
        const char* what;
        std::vector<Machine> fleet;
        const char* outside;  // files, in report order
        int status;
    } cases[] = {
        {"one build, one digest", {{"a", "glibc", "0x1", 0}, {"b", "glibc", "0x1", 0}}, "", 0},
        {"the odd one out",
         {{"a", "glibc", "0x1", 0}, {"b", "glibc", "0x2", 0}, {"c", "glibc", "0x1", 0}},
         "b",
         1},
        {"each build has its own digest",
         {{"a", "glibc", "0x1", 0}, {"b", "msvcrt", "0x2", 0}, {"c", "glibc", "0x1", 0}},
         "",
         0},
        {"no largest group names everyone",
         {{"a", "glibc", "0x1", 0}, {"b", "glibc", "0x2", 0}},
         "a b",
         1},
        {"a failed machine in the group",
         {{"a", "glibc", "0x1", 1}, {"b", "glibc", "0x1", 0}},
         "",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<SummaryReport> reports;
        for (const Machine& m : c.fleet) {
            Json report = Report(m.file, "2026-12-08T16:32:30Z", m.status);
            report["platform_infos"] = Json::array({std::string("C runtime ") + m.runtime});
            report["references"][0]["digest"] = m.digest;
            report["references"].erase(1);
            reports.push_back(ReadReport(m.file, report.dump()));
        }
        const FleetSummary summary = Summarize(reports);
        std::string outside;
        for (const LoadBuild& b : summary.builds)
            for (std::size_t i : b.outside)
                outside += (outside.empty() ? "" : " ") + summary.reports[i].file;
        EXPECT_EQ(outside, c.outside);
        EXPECT_EQ(summary.Status(), c.status);
        const Json json = FleetSummaryJson(summary);
        EXPECT_EQ(json["exit_status"], c.status);
        EXPECT_EQ(json["outside"], summary.outside);
    }
}

TEST(Summary, ARunsStreamBesideItsReportCountsOnce) {
    // The stream begins just before the run; the report's start is in whole seconds.
    const std::string stream = Replaced(kStream, "\"name\":\"n7\"", "\"name\":\"n1\"");
    struct Case {
        const char* what;
        const char* reportStart;
        const char* host;
        std::size_t reports;
    } cases[] = {
        {"the same run", "2026-12-08T16:32:30Z", "n1", 1},
        {"another host", "2026-12-08T16:32:30Z", "n2", 2},
        {"the next run on the same host", "2026-12-08T16:32:33Z", "n1", 2},
        {"the run before on the same host", "2026-12-08T16:32:27Z", "n1", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const FleetSummary summary =
            Summarize({ReadReport("r.json", Report(c.host, c.reportStart, 0).dump()),
                       ReadReport("r.ocp.jsonl", stream)});
        EXPECT_EQ(summary.reports.size(), c.reports);
        EXPECT_EQ(summary.reports[0].stream, c.reports == 1 ? "r.ocp.jsonl" : "");
    }
}

// Reports come from many machines and some are damaged on the way: no input may
// bring the summary down, whatever it is cut to or mutated into.
TEST(Summary, NoTruncatedOrMutatedFileBringsItDown) {
    Json failing = Report("n2", "2026-12-08T16:32:30Z", 1);
    failing["workers"][0]["errors"] = Json::parse(R"([{"kind": "pass", "processor": 3}])");
    const std::vector<std::string> seeds = {Report("n1", "2026-12-08T16:32:30Z", 0).dump(2),
                                            failing.dump(), kStream};
    std::mt19937 random(20261209);
    std::vector<SummaryReport> all;
    auto feed = [&](const std::string& text) {
        SummaryReport r = ReadReport("m", text);
        EXPECT_FALSE(r.result.empty());
        all.push_back(std::move(r));
    };
    for (const std::string& seed : seeds) {
        for (std::size_t cut = 0; cut < seed.size(); cut += 7) feed(seed.substr(0, cut));
        for (int round = 0; round < 300; ++round) {
            std::string text = seed;
            for (int k = 0; k < 1 + round % 5; ++k) {
                const std::size_t at = random() % text.size();
                switch (random() % 4) {
                    case 0:  // a byte changed, at times into one that is no UTF-8
                        text[at] = static_cast<char>(random() % 256);
                        break;
                    case 1:
                        text.erase(at, 1 + random() % 8);
                        break;
                    case 2:
                        text.insert(at, text.substr(random() % text.size(), 1 + random() % 40));
                        break;
                    default:  // a digit for a quote or a brace: values change their type
                        text[at] = "0{[\"]}:,\n"[random() % 9];
                }
                if (text.empty()) text = "{";
            }
            feed(text);
        }
    }
    feed(Report("\x1b]0;owned\x07\r", "\x1b[2J", 1).dump());  // escapes a terminal obeys
    feed(std::string(200000, '[') + std::string(200000, ']'));
    feed(std::string(100000, '{'));
    // Every stream cut before its end says so.
    const std::string stream = kStream;
    for (std::size_t cut = 1; cut < stream.rfind(R"({"sequenceNumber":7)"); cut += 5)
        EXPECT_TRUE(ReadReport("m", stream.substr(0, cut)).result == "TRUNCATED" ||
                    cut < stream.find('\n'))
            << cut;
    const FleetSummary summary = Summarize(all);
    std::ostringstream text;
    PrintFleetSummary(text, summary);
    for (char c : text.str())  // reports are foreign text: nothing may reach a terminal raw
        EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 0x20) << int(c);
    EXPECT_NO_THROW(FleetSummaryJson(summary).dump(-1, ' ', false, Json::error_handler_t::replace));
    EXPECT_EQ(summary.Status(), 1);
}
