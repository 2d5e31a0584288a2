// --summarize: one verdict per machine, and the machines whose digests stand
// out, from the JSON reports and OCP streams a fleet sent back.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// One load's elected digest in one report.
struct SummaryDigest {
    std::string routine, isa;
    std::string digest;         // empty: none elected
    bool unexpected = false;    // not the --expect-digest the run was given
    bool notKnown = false;      // not the load's known answer
    bool disagreement = false;  // the workers split without a majority
};

// A processor whose workers found errors, or "?" where the report does not say.
struct SummaryFailure {
    std::string processor;
    std::vector<std::string> kinds;  // "pass", "cross-core", "known-answer", "stalled", ...
};

struct SummaryReport {
    std::string file;
    std::string stream;  // an OCP stream of the same run, folded into this JSON report
    bool isStream = false;
    std::string host, start;
    std::optional<double> startSeconds;  // since the epoch, to fold a run's two files
    // PASS, FAIL, INTERRUPTED, COULD NOT RUN, STOPPED, TRUNCATED (a stream that
    // never ended: the machine died or still runs) or DAMAGED (not a report).
    std::string result;
    std::optional<int> exitStatus;
    std::string version, runtime;  // the build: program version and C runtime
    std::vector<SummaryFailure> failures;
    std::vector<SummaryDigest> digests;
    std::string note;  // why TRUNCATED or DAMAGED, or why the run stopped

    bool Passed() const { return result == "PASS"; }
};

// The reports with the same digest for one load of one build.
struct DigestGroup {
    std::string digest;
    std::vector<std::size_t> reports;  // indices into FleetSummary::reports
};

struct LoadBuild {
    std::string routine, version, runtime, isa;
    std::vector<DigestGroup> groups;   // largest first
    std::vector<std::size_t> outside;  // reports in no single largest group
};

struct FleetSummary {
    std::vector<SummaryReport> reports;
    std::vector<LoadBuild> builds;
    std::size_t failed = 0, outside = 0;
    int Status() const { return failed || outside ? 1 : 0; }
};

// A JSON report or an OCP stream; whatever the text holds, never throws on it.
SummaryReport ReadReport(const std::string& file, const std::string& text);

// Folds each stream into the JSON report of the same run, then groups the digests.
FleetSummary Summarize(std::vector<SummaryReport> reports);

void PrintFleetSummary(std::ostream& out, const FleetSummary& summary);
nlohmann::ordered_json FleetSummaryJson(const FleetSummary& summary);

extern const char* const kSummarizeUsage;

// `args` as given after the program name when one of them is --summarize.
// 0 every report passed and stands in its group, 1 one did not, 2 bad usage or
// a file that could not be read (named on `err`).
int RunSummarize(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
