// --summarize: reads what a fleet sent back. Reports come from many machines and
// some are damaged, so every field is checked before it is used.
#include "tools/stress/summary.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>

namespace {

using Json = nlohmann::json;
using nlohmann::ordered_json;

const Json* Field(const Json& j, const char* key) {
    if (!j.is_object()) return nullptr;
    const auto it = j.find(key);
    return it == j.end() ? nullptr : &*it;
}

std::string Text(const Json& j, const char* key) {
    const Json* f = Field(j, key);
    return f && f->is_string() ? f->get<std::string>() : std::string();
}

bool Flag(const Json& j, const char* key) {
    const Json* f = Field(j, key);
    return f && f->is_boolean() && f->get<bool>();
}

std::optional<int> Whole(const Json& j, const char* key) {
    const Json* f = Field(j, key);
    if (!f) return {};
    if (f->is_number_unsigned())
        return f->get<std::uint64_t>() <= 1000000 ? std::optional<int>(f->get<int>())
                                                  : std::nullopt;
    if (f->is_number_integer())
        return f->get<long long>() >= -1000000 && f->get<long long>() <= 1000000
                   ? std::optional<int>(f->get<int>())
                   : std::nullopt;
    return {};
}

const Json& Items(const Json& j, const char* key) {
    static const Json none = Json::array();
    const Json* f = Field(j, key);
    return f && f->is_array() ? *f : none;
}

std::string ProcessorOf(const Json& j, const char* key) {
    const auto p = Whole(j, key);
    return p && *p >= 0 ? std::to_string(*p) : std::string("?");
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string ResultOf(int status) {
    switch (status) {
        case 0:
            return "PASS";
        case 1:
            return "FAIL";
        case 2:
            return "BAD USAGE";
        case 3:
            return "INTERRUPTED";
        case 4:
            return "COULD NOT RUN";
        case 5:
            return "STOPPED";
        default:
            return "EXIT " + std::to_string(status);
    }
}

void AddFailure(SummaryReport& r, const std::string& processor, const std::string& kind) {
    auto it = std::find_if(r.failures.begin(), r.failures.end(),
                           [&](const SummaryFailure& f) { return f.processor == processor; });
    if (it == r.failures.end()) it = r.failures.insert(r.failures.end(), {processor, {}});
    const std::string named = kind.empty() ? "?" : kind;
    if (std::find(it->kinds.begin(), it->kinds.end(), named) == it->kinds.end())
        it->kinds.push_back(named);
}

// "2026-12-08T16:32:30Z" or with ".908Z": seconds since the epoch.
std::optional<double> EpochSeconds(const std::string& t) {
    int y, mo, d, h, mi, s, used = 0;
    char tee;
    if (std::sscanf(t.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &y, &mo, &d, &tee, &h, &mi, &s,
                    &used) != 7 ||
        tee != 'T' || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 ||
        mi > 59 || s < 0 || s > 60)
        return {};
    double fraction = 0, scale = 0.1;
    if (t[static_cast<std::size_t>(used)] == '.')
        for (std::size_t i = static_cast<std::size_t>(used) + 1;
             i < t.size() && t[i] >= '0' && t[i] <= '9' && scale > 1e-9; ++i, scale /= 10)
            fraction += (t[i] - '0') * scale;
    // Days from the civil date (proleptic Gregorian), as in Howard Hinnant's algorithm.
    const int yy = y - (mo <= 2);
    const int era = (yy >= 0 ? yy : yy - 399) / 400;
    const int yoe = yy - era * 400;
    const int doy = (153 * (mo + (mo > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    const double days = static_cast<double>(era) * 146097 + doe - 719468;
    return days * 86400 + h * 3600 + mi * 60 + s + fraction;
}

std::string RuntimeOf(const std::string& info) {
    static const std::string prefix = "C runtime ";
    return StartsWith(info, prefix) ? info.substr(prefix.size()) : std::string();
}

SummaryReport FromJsonReport(const std::string& file, const Json& j) {
    SummaryReport r;
    r.file = file;
    r.host = Text(j, "host");
    r.start = Text(j, "start");
    r.startSeconds = EpochSeconds(r.start);
    r.version = Text(j, "version");
    for (const Json& info : Items(j, "platform_infos"))
        if (info.is_string() && r.runtime.empty()) r.runtime = RuntimeOf(info.get<std::string>());
    auto status = Whole(j, "exit_status");
    if (!status) status = Whole(j, "status");  // a sweep's report
    if (!status) {
        r.result = "DAMAGED";
        r.note = "a JSON report without an exit status";
        return r;
    }
    r.exitStatus = status;
    r.result = ResultOf(*status);
    r.note = Text(j, "stop_message");
    const Json& workers = Items(j, "workers");
    for (const Json& w : workers) {
        for (const Json& e : Items(w, "errors"))
            AddFailure(r, ProcessorOf(e, "processor"), Text(e, "kind"));
        if (Flag(w, "stalled")) AddFailure(r, ProcessorOf(w, "last_processor"), "stalled");
    }
    if (const Json* sweep = Field(j, "sweep")) {
        for (const Json& e : Items(*sweep, "errors"))
            AddFailure(r, ProcessorOf(e, "processor"), Text(e, "kind"));
        if (r.note.empty()) r.note = Text(*sweep, "stop_message");
    }
    for (const Json& c : Items(j, "references")) {
        SummaryDigest d;
        d.routine = Text(c, "routine");
        if (d.routine.empty()) continue;
        d.digest = Text(c, "digest");
        d.unexpected = Flag(c, "digest_differs");
        d.notKnown = Flag(c, "known_differs");
        d.disagreement = Flag(c, "disagreement");
        for (const Json& w : workers)
            if (Text(w, "routine") == d.routine && d.isa.empty()) d.isa = Text(w, "isa");
        r.digests.push_back(d);
    }
    return r;
}

// "worker 1: MatrixWorker, load matrix, isa base": the routine and the instruction set.
std::pair<std::string, std::string> WorkerStep(const std::string& name) {
    const std::size_t colon = name.find(": ");
    if (!StartsWith(name, "worker ") || colon == std::string::npos) return {};
    const std::size_t comma = name.find(',', colon);
    const std::string routine = name.substr(colon + 2, comma - (colon + 2));
    const std::size_t isa = name.find(", isa ", colon);
    return {routine, isa == std::string::npos ? std::string() : name.substr(isa + 6)};
}

// The processor an error message names: "(MatrixWorker, cpu 3)".
std::string ProcessorIn(const std::string& message) {
    const std::size_t at = message.find("cpu ");
    if (at == std::string::npos) return "?";
    std::string digits;
    for (std::size_t i = at + 4; i < message.size() && digits.size() < 6; ++i) {
        if (message[i] < '0' || message[i] > '9') break;
        digits += message[i];
    }
    return digits.empty() ? "?" : digits;
}

class StreamReader {
public:
    explicit StreamReader(const std::string& file) { r_.file = file, r_.isStream = true; }

    void Line(const Json& record) {
        ++records_;
        if (const Json* run = Field(record, "testRunArtifact"))
            Run(*run, Text(record, "timestamp"));
        if (const Json* step = Field(record, "testStepArtifact")) Step(*step);
    }

    SummaryReport Finish(std::size_t badLine, bool cutLine) {
        for (auto& [routine, d] : references_) {
            for (const auto& [id, step] : steps_)
                if (step.first == routine && d.isa.empty()) d.isa = step.second;
            r_.digests.push_back(d);
        }
        if (badLine) {
            r_.result = "DAMAGED";
            r_.note = "line " + std::to_string(badLine) + " is not an OCP record";
        } else if (!ended_) {
            r_.result = "TRUNCATED";
            r_.note = "no testRunEnd after " + std::to_string(records_) + " record(s)" +
                      (cutLine ? " and a cut line" : "") +
                      ": the run never finished (the machine stopped, or still runs)";
        } else if (!started_) {
            r_.result = "DAMAGED";
            r_.note = "an OCP stream without testRunStart";
        } else {
            r_.exitStatus = endResult_ == "PASS" && endStatus_ == "COMPLETE" ? 0
                            : endResult_ == "FAIL"                           ? 1
                            : symptom_ == "interrupted"                      ? 3
                            : symptom_ == "stopped"                          ? 5
                                                                             : 4;
            r_.result = ResultOf(*r_.exitStatus);
        }
        return r_;
    }

private:
    void Run(const Json& run, const std::string& timestamp) {
        if (const Json* start = Field(run, "testRunStart")) {
            started_ = true;
            r_.version = Text(*start, "version");
            r_.start = timestamp;
            r_.startSeconds = EpochSeconds(timestamp);
            if (const Json* dut = Field(*start, "dutInfo")) {
                r_.host = Text(*dut, "name");
                if (r_.host.empty()) r_.host = Text(*dut, "dutInfoId");
                for (const Json& info : Items(*dut, "platformInfos"))
                    if (r_.runtime.empty()) r_.runtime = RuntimeOf(Text(info, "info"));
            }
        }
        if (const Json* error = Field(run, "error")) {
            symptom_ = Text(*error, "symptom");
            if (r_.note.empty()) r_.note = Text(*error, "message");
        }
        if (const Json* end = Field(run, "testRunEnd")) {
            ended_ = true;
            endStatus_ = Text(*end, "status");
            endResult_ = Text(*end, "result");
        }
    }

    void Step(const Json& step) {
        const std::string id = Text(step, "testStepId");
        if (StartsWith(id, "reference-")) return Reference(id.substr(10), step);
        if (const Json* start = Field(step, "testStepStart")) {
            const auto worker = WorkerStep(Text(*start, "name"));
            if (!worker.first.empty()) steps_[id] = worker;
        }
        if (const Json* diagnosis = Field(step, "diagnosis")) {
            static const std::string suffix = "-mismatch";
            std::string verdict = Text(*diagnosis, "verdict");
            if (Text(*diagnosis, "type") == "FAIL") {
                if (verdict.size() > suffix.size() &&
                    verdict.compare(verdict.size() - suffix.size(), suffix.size(), suffix) == 0)
                    verdict.resize(verdict.size() - suffix.size());
                AddFailure(r_, ProcessorIn(Text(*diagnosis, "message")), verdict);
            }
        }
        if (const Json* error = Field(step, "error")) AddFailure(r_, "?", Text(*error, "symptom"));
    }

    void Reference(const std::string& routine, const Json& step) {
        SummaryDigest& d = references_[routine];
        d.routine = routine;
        if (const Json* m = Field(step, "measurement"))
            if (Text(*m, "name") == "reference digest") d.digest = Text(*m, "value");
        if (const Json* diagnosis = Field(step, "diagnosis")) {
            const std::string verdict = Text(*diagnosis, "verdict");
            d.unexpected = d.unexpected || verdict == "digest-mismatch";
            d.notKnown = d.notKnown || verdict == "known-answer-mismatch";
            d.disagreement = d.disagreement || verdict == "cross-core-disagreement";
        }
    }

    SummaryReport r_;
    std::size_t records_ = 0;
    bool started_ = false, ended_ = false;
    std::string endStatus_, endResult_, symptom_;
    std::map<std::string, std::pair<std::string, std::string>> steps_;  // id: routine, isa
    std::map<std::string, SummaryDigest> references_;
};

bool IsRecord(const Json& j) {
    return j.is_object() && (j.contains("schemaVersion") || j.contains("sequenceNumber"));
}

SummaryReport FromStream(const std::string& file, const std::string& text) {
    StreamReader reader(file);
    std::size_t from = 0, lineNumber = 0, badLine = 0;
    bool cutLine = false;
    while (from < text.size() && !badLine) {
        std::size_t end = text.find('\n', from);
        const bool last = end == std::string::npos;
        if (last) end = text.size();
        ++lineNumber;
        const std::string line = text.substr(from, end - from);
        from = end + 1;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const Json record = Json::parse(line, nullptr, false);
        if (IsRecord(record))
            reader.Line(record);
        else if (last)
            cutLine = true;  // a machine that died while writing its last line
        else
            badLine = lineNumber;
    }
    return reader.Finish(badLine, cutLine);
}

SummaryReport Damaged(const std::string& file, const std::string& why) {
    SummaryReport r;
    r.file = file;
    r.result = "DAMAGED";
    r.note = why;
    return r;
}

}  // namespace

SummaryReport ReadReport(const std::string& file, const std::string& text) {
    const Json whole = Json::parse(text, nullptr, false);
    if (whole.is_object() && (whole.contains("schema_version") || whole.contains("program")))
        return FromJsonReport(file, whole);
    const std::size_t first = std::min(text.find_first_not_of(" \t\r\n"), text.size());
    if (IsRecord(Json::parse(text.substr(first, text.find('\n', first) - first), nullptr, false)))
        return FromStream(file, text);
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) return Damaged(file, "empty");
    if (whole.is_discarded()) return Damaged(file, "not whole JSON: a report cut short or altered");
    return Damaged(file, "neither a quarrion-stress JSON report nor an OCP stream");
}

FleetSummary Summarize(std::vector<SummaryReport> reports) {
    // A run's stream adds nothing to its JSON report: same host and version, and
    // the stream begun just before the run's start (which the report gives in
    // whole seconds).
    std::vector<bool> folded(reports.size(), false);
    for (std::size_t s = 0; s < reports.size(); ++s) {
        const SummaryReport& stream = reports[s];
        if (!stream.isStream || !stream.startSeconds) continue;
        for (SummaryReport& report : reports) {
            if (report.isStream || !report.stream.empty() || !report.startSeconds ||
                report.host != stream.host || report.version != stream.version ||
                *stream.startSeconds - *report.startSeconds < -1.0 ||
                *stream.startSeconds - *report.startSeconds > 1.5)
                continue;
            report.stream = stream.file;
            folded[s] = true;
            break;
        }
    }
    FleetSummary summary;
    for (std::size_t i = 0; i < reports.size(); ++i)
        if (!folded[i]) summary.reports.push_back(std::move(reports[i]));

    std::map<std::tuple<std::string, std::string, std::string, std::string>, std::size_t> index;
    for (std::size_t i = 0; i < summary.reports.size(); ++i) {
        const SummaryReport& r = summary.reports[i];
        for (const SummaryDigest& d : r.digests) {
            if (d.digest.empty()) continue;
            const auto key = std::make_tuple(d.routine, r.version, r.runtime, d.isa);
            auto [at, added] = index.emplace(key, summary.builds.size());
            if (added) summary.builds.push_back({d.routine, r.version, r.runtime, d.isa, {}, {}});
            auto& groups = summary.builds[at->second].groups;
            auto g = std::find_if(groups.begin(), groups.end(),
                                  [&](const DigestGroup& x) { return x.digest == d.digest; });
            if (g == groups.end()) g = groups.insert(groups.end(), {d.digest, {}});
            g->reports.push_back(i);
        }
    }
    std::vector<bool> outside(summary.reports.size(), false);
    for (LoadBuild& build : summary.builds) {
        std::stable_sort(build.groups.begin(), build.groups.end(),
                         [](const DigestGroup& a, const DigestGroup& b) {
                             return a.reports.size() > b.reports.size();
                         });
        if (build.groups.size() < 2) continue;
        // With no single largest group nobody knows the right digest: all are named.
        const bool tie = build.groups[0].reports.size() == build.groups[1].reports.size();
        for (std::size_t g = tie ? 0 : 1; g < build.groups.size(); ++g)
            for (std::size_t i : build.groups[g].reports) {
                build.outside.push_back(i);
                outside[i] = true;
            }
    }
    for (std::size_t i = 0; i < summary.reports.size(); ++i) {
        summary.failed += summary.reports[i].Passed() ? 0 : 1;
        summary.outside += outside[i] ? 1 : 0;
    }
    return summary;
}

namespace {

// Reports are foreign text: no control character reaches the terminal.
std::string Printable(const std::string& text) {
    std::string shown = text;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
    return shown;
}

std::string Padded(const std::string& text, std::size_t width) {
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

std::string DigestText(const SummaryDigest& d) {
    std::string text = d.routine + "=" + (d.digest.empty() ? "none" : d.digest);
    if (d.disagreement) text += " (workers disagree)";
    if (d.unexpected) text += " (not the expected digest)";
    if (d.notKnown) text += " (not the known answer)";
    return text;
}

std::string BuildText(const LoadBuild& b) {
    return b.routine + " (quarrion-stress " + (b.version.empty() ? "?" : b.version) +
           ", C runtime " + (b.runtime.empty() ? "?" : b.runtime) + ", isa " +
           (b.isa.empty() ? "?" : b.isa) + ")";
}

}  // namespace

void PrintFleetSummary(std::ostream& out, const FleetSummary& s) {
    std::size_t fileWidth = 0, hostWidth = 0, startWidth = 0;
    for (const SummaryReport& r : s.reports) {
        fileWidth = std::max(fileWidth, std::min<std::size_t>(r.file.size(), 40));
        hostWidth = std::max(hostWidth, std::min<std::size_t>(r.host.size(), 24));
        startWidth = std::max(startWidth, std::min<std::size_t>(r.start.size(), 24));
    }
    for (const SummaryReport& r : s.reports) {
        std::string line = Padded(Printable(r.file), fileWidth) + "  " +
                           Padded(Printable(r.host.empty() ? "?" : r.host), hostWidth) + "  " +
                           Padded(Printable(r.start.empty() ? "?" : r.start), startWidth) + "  " +
                           Padded(Printable(r.result), 13) + "  exit " +
                           (r.exitStatus ? std::to_string(*r.exitStatus) : std::string("-"));
        if (!r.failures.empty()) {
            line += "  failing";
            for (std::size_t f = 0; f < r.failures.size(); ++f) {
                line += (f ? "; cpu " : " cpu ") + r.failures[f].processor + ":";
                for (std::size_t k = 0; k < r.failures[f].kinds.size(); ++k)
                    line += (k ? ", " : " ") + Printable(r.failures[f].kinds[k]);
            }
        }
        for (const SummaryDigest& d : r.digests) line += "  " + Printable(DigestText(d));
        if (!r.note.empty()) line += "  (" + Printable(r.note) + ")";
        out << line << "\n";
    }
    for (const LoadBuild& b : s.builds) {
        const bool tie =
            b.groups.size() > 1 && b.groups[0].reports.size() == b.groups[1].reports.size();
        out << Printable(BuildText(b)) << (tie ? ", no group is the largest" : "") << ":\n";
        for (std::size_t g = 0; g < b.groups.size(); ++g) {
            const DigestGroup& group = b.groups[g];
            out << "  " << Printable(b.routine + "=" + group.digest) << "  " << group.reports.size()
                << " machine(s)";
            if (g > 0 || tie) {
                out << ", outside:";
                for (std::size_t i : group.reports) out << " " << Printable(s.reports[i].file);
            }
            out << "\n";
        }
    }
    out << "Fleet: " << s.reports.size() << " report(s), " << s.reports.size() - s.failed
        << " passed, " << s.failed << " did not, " << s.outside
        << " outside the largest digest group\n";
}

ordered_json FleetSummaryJson(const FleetSummary& s) {
    auto orNull = [](const std::string& text) {
        return text.empty() ? ordered_json() : ordered_json(text);
    };
    ordered_json reports = ordered_json::array(), builds = ordered_json::array();
    std::vector<bool> outside(s.reports.size(), false);
    for (const LoadBuild& b : s.builds)
        for (std::size_t i : b.outside) outside[i] = true;
    for (std::size_t i = 0; i < s.reports.size(); ++i) {
        const SummaryReport& r = s.reports[i];
        ordered_json failures = ordered_json::array(), digests = ordered_json::array();
        for (const SummaryFailure& f : r.failures)
            failures.push_back(
                {{"processor",
                  f.processor == "?" ? ordered_json() : ordered_json(std::stoi(f.processor))},
                 {"kinds", f.kinds}});
        for (const SummaryDigest& d : r.digests)
            digests.push_back({{"routine", d.routine},
                               {"isa", orNull(d.isa)},
                               {"digest", orNull(d.digest)},
                               {"unexpected", d.unexpected},
                               {"not_known_answer", d.notKnown},
                               {"disagreement", d.disagreement}});
        reports.push_back(
            {{"file", r.file},
             {"stream", orNull(r.stream)},
             {"host", orNull(r.host)},
             {"start", orNull(r.start)},
             {"result", r.result},
             {"exit_status", r.exitStatus ? ordered_json(*r.exitStatus) : ordered_json()},
             {"version", orNull(r.version)},
             {"c_runtime", orNull(r.runtime)},
             {"failures", failures},
             {"digests", digests},
             {"outside", outside[i]},
             {"note", orNull(r.note)}});
    }
    for (const LoadBuild& b : s.builds) {
        ordered_json groups = ordered_json::array(), named = ordered_json::array();
        for (const DigestGroup& g : b.groups) {
            ordered_json files = ordered_json::array();
            for (std::size_t i : g.reports) files.push_back(s.reports[i].file);
            groups.push_back(
                {{"digest", g.digest}, {"machines", g.reports.size()}, {"reports", files}});
        }
        for (std::size_t i : b.outside) named.push_back(s.reports[i].file);
        builds.push_back({{"routine", b.routine},
                          {"version", orNull(b.version)},
                          {"c_runtime", orNull(b.runtime)},
                          {"isa", orNull(b.isa)},
                          {"groups", groups},
                          {"outside", named}});
    }
    return {{"reports", reports}, {"loads", builds},      {"passed", s.reports.size() - s.failed},
            {"failed", s.failed}, {"outside", s.outside}, {"exit_status", s.Status()}};
}

const char* const kSummarizeUsage =
    "\n"
    "       quarrion-stress --summarize [--json] FILE...\n"
    "\n"
    "  --summarize FILE...\n"
    "                     one line per collected JSON report or OCP stream (a run's stream\n"
    "                     beside its report counts once): host, start, result, exit status,\n"
    "                     failing processors, each load's digest; then, per load and build,\n"
    "                     the digest groups, naming the reports outside the largest one\n"
    "  --json             with --summarize: all of it as one JSON object on stdout\n"
    "\n"
    "exit status with --summarize: 0 every run passed and stands in its group, 1 not so,\n"
    "             2 a file could not be read (named on stderr)\n";

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The file's bytes, or why they could not be read.
std::optional<std::string> ReadFile(const std::string& path, std::string& why) {
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        why = std::strerror(errno);
        return {};
    }
    std::string text;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, n);
    if (std::ferror(file.get())) {
        why = errno ? std::strerror(errno) : "read error";
        return {};
    }
    return text;
}

}  // namespace

int RunSummarize(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    bool json = false, filesOnly = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (!filesOnly && arg == "--summarize") continue;
        if (!filesOnly && arg == "--json") {
            json = true;
        } else if (!filesOnly && arg == "--") {
            filesOnly = true;
        } else if (!filesOnly && arg.size() > 1 && arg[0] == '-') {
            err << "quarrion-stress: --summarize takes --json and files, not '" << arg << "'\n"
                << kSummarizeUsage;
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        err << "quarrion-stress: --summarize needs the files to read\n" << kSummarizeUsage;
        return 2;
    }
    std::vector<SummaryReport> reports;
    bool unreadable = false;
    for (const std::string& file : files) {
        std::string why;
        if (const auto text = ReadFile(file, why)) {
            reports.push_back(ReadReport(file, *text));
        } else {
            err << "quarrion-stress: cannot read '" << file << "': " << why << "\n";
            unreadable = true;
        }
    }
    const FleetSummary summary = Summarize(std::move(reports));
    if (json)
        out << FleetSummaryJson(summary).dump(2, ' ', false, ordered_json::error_handler_t::replace)
            << "\n";
    else
        PrintFleetSummary(out, summary);
    out.flush();
    return unreadable ? 2 : summary.Status();
}
