// The sweep's stream as a crash leaves it: written and synced as the sweep
// goes, read back by --resume up to a cut last line, the open step reported
// as the machine stopping there, and anything else refused by line.
#include "tools/stress/sweep_journal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sstream>

#include "tests/tools/ocp_checks.h"
#include "tests/tools/sweep_fixture.h"
#include "tools/stress/platform.h"

namespace {

using namespace sweep_fixture;

SweepOptions LightAndHeavy() {
    SweepOptions options;
    options.sweep = true;
    options.regimes = {Regime::Light, Regime::Heavy};
    return options;
}

SweepSeams Short() {
    SweepSeams seams;
    seams.slotSeconds = 0.2;
    seams.temperatures = [] { return std::vector<TempReading>{{"k10temp", "Tctl", 55.0, false}}; };
    return seams;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A sweep whose first step fails in its second cycle, journaled whole.
const std::string& FullStream() {
    static const std::string stream = [] {
        const RunSetup setup = Machine();
        SweepSeams seams = Short();
        seams.faults.push_back(
            {setup.processors.front(), Regime::Light, 0, 2, {FlipLowestBit, false}});
        const auto journal = std::make_shared<Captured>();
        std::ostringstream out;
        const std::atomic<bool> interrupt{false};
        RunSweep(setup, LightAndHeavy(), out, interrupt, seams, Capture(journal));
        return journal->text;
    }();
    return stream;
}

TEST(SweepJournal, WritesEachStepAndErrorAsItHappens) {
    RunSetup setup = Machine();
    setup.options.quiet = false;
    SweepSeams seams = Short();
    seams.faults.push_back({setup.processors.front(), Regime::Light, 0, 2, {FlipLowestBit, false}});
    const auto journal = std::make_shared<Captured>();
    std::ostringstream out;
    const std::atomic<bool> interrupt{false};
    RunSweep(setup, LightAndHeavy(), out, interrupt, seams, Capture(journal));
    std::istringstream in(journal->text);
    const std::vector<nlohmann::json> lines = ocp_checks::CheckStream(in);
    ASSERT_EQ(lines.size(), journal->synced.size());
    // The error is in its step, before that step's end, and on the disk at once;
    // so is every step boundary. Timestamps move on as the sweep goes.
    std::size_t errorAt = 0, firstEnd = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!lines[i].contains("testStepArtifact")) continue;
        const auto& step = lines[i]["testStepArtifact"];
        if (step.contains("diagnosis") && step["diagnosis"]["type"] == "FAIL" && !errorAt)
            errorAt = i;
        if (step.contains("testStepEnd") && !firstEnd) firstEnd = i;
        if (step.contains("testStepStart") || step.contains("testStepEnd") ||
            (step.contains("diagnosis") && step["diagnosis"]["type"] == "FAIL")) {
            EXPECT_TRUE(journal->synced[i]) << i;
        }
    }
    ASSERT_GT(errorAt, 0u);
    EXPECT_LT(errorAt, firstEnd);
    EXPECT_EQ(lines[errorAt]["testStepArtifact"]["testStepId"], "1");
    EXPECT_LT(lines[1]["timestamp"], lines.back()["timestamp"]);
    EXPECT_NE(out.str().find("Step: cpu " + std::to_string(setup.processors.front()) + " light"),
              std::string::npos);
}

// kill -9 in the second step: its start is on disk, then half a line.
TEST(SweepJournal, ResumeReportsTheStepTheMachineNeverEnded) {
    const std::vector<std::string> lines = Lines(FullStream());
    std::size_t secondStart = 0, starts = 0;
    for (std::size_t i = 0; i < lines.size() && !secondStart; ++i)
        if (lines[i].find("testStepStart") != std::string::npos && ++starts == 2) secondStart = i;
    ASSERT_GT(secondStart, 0u);
    // The step's first clock sample reached the disk; the line after it did not, whole.
    std::size_t sampled = secondStart;
    while (sampled < lines.size() && lines[sampled].find("effective clock") == std::string::npos)
        ++sampled;
    ASSERT_LT(sampled + 1, lines.size());
    std::string cut;
    for (std::size_t i = 0; i <= sampled; ++i) cut += lines[i] + "\n";
    const std::size_t whole = cut.size();
    cut += lines[sampled + 1].substr(0, lines[sampled + 1].size() / 2);

    std::istringstream in(cut);
    auto read = ReadSweepJournal(in, "sweep.ocp");
    ASSERT_TRUE(std::holds_alternative<JournalContents>(read)) << std::get<std::string>(read);
    const JournalContents& contents = std::get<JournalContents>(read);
    EXPECT_EQ(contents.wholeBytes, whole);
    ASSERT_EQ(contents.steps.size(), 2u);
    EXPECT_TRUE(contents.steps[0].ended);
    EXPECT_FALSE(contents.steps[1].ended);
    EXPECT_EQ(contents.steps[0].errors.size(), 1u);

    const RunSetup setup = Machine();
    const auto journal = std::make_shared<Captured>();
    journal->text = cut.substr(0, whole);
    const auto writer = Capture(journal);
    writer->ContinueAfter(contents);
    std::ostringstream out;
    const std::atomic<bool> interrupt{false};
    SweepOptions other;  // the stream's plan wins over the command line's
    other.sweep = true;
    const SweepResult r = RunSweep(setup, other, out, interrupt, Short(), writer, &contents);

    const int first = setup.processors.front();
    ASSERT_NE(r.tally.Find(first, Regime::Light), nullptr);
    EXPECT_STREQ(r.tally.Find(first, Regime::Light)->Verdict(), "FAIL");  // from the first session
    ASSERT_NE(r.tally.Find(first, Regime::Heavy), nullptr);
    EXPECT_STREQ(r.tally.Find(first, Regime::Heavy)->Verdict(), "MACHINE-STOPPED");
    EXPECT_EQ(r.stepsRun, r.stepsPlanned);
    EXPECT_EQ(r.stepsPlanned, setup.processors.size() * 2);
    EXPECT_EQ(r.status, kExitErrors);
    std::ostringstream table;
    PrintSweep(table, r);
    EXPECT_NE(table.str().find("heavy, machine stopped:"), std::string::npos) << table.str();
    EXPECT_NE(table.str().find("last clock cpu " + std::to_string(first)), std::string::npos);
    EXPECT_NE(table.str().find("last temperature 55.0 C"), std::string::npos) << table.str();
    // Both sessions make one valid stream that ends once.
    std::istringstream both(journal->text);
    const std::vector<nlohmann::json> all = ocp_checks::CheckStream(both);
    EXPECT_EQ(ocp_checks::All(all, "testRunStart").size(), 1u);
    EXPECT_EQ(nlohmann::ordered_json(SweepReport(setup, other, r))["sweep"]["steps"].size(),
              setup.processors.size() * 2);
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(SweepJournal, RefusesWhatIsNotSuchAStreamByLine) {
    const std::string full = FullStream();
    const std::vector<std::string> lines = Lines(full);
    auto join = [](const std::vector<std::string>& parts) {
        std::string text;
        for (const auto& part : parts) text += part + "\n";
        return text;
    };
    std::vector<std::string> skipped = lines;
    skipped.erase(skipped.begin() + 3);
    const struct {
        const char* name;
        std::string text;
        const char* refusal;  // empty: read
    } cases[] = {
        {"whole", full, ""},
        {"cut last line", full.substr(0, full.size() - 7), ""},
        {"empty", "", ""},
        {"not a stream", "hello\n", "line 1: not a JSON object"},
        {"another program's stream", Replace(full, "\"quarrion-stress\"", "\"other\""),
         "line 2: not a quarrion-stress sweep stream"},
        {"a line lost", join(skipped), "line 4: its sequence number is not 3"},
        {"a corrupt line within", join(lines).replace(join(lines).find("\n", 10) + 1, 1, "x"),
         "line 2: not a JSON object"},
        {"a step started twice",
         Replace(full, "\"testStepId\":\"2\",\"testStepStart\"",
                 "\"testStepId\":\"1\",\"testStepStart\""),
         "step 1 starts twice"},
        {"a step never started",
         Replace(full, "\"testStepId\":\"1\",\"measurement\"",
                 "\"testStepId\":\"9\",\"measurement\""),
         "step 9 was never started"},
        {"a field of another type",
         Replace(full, "\"error_cycles\":", "\"error_cycles\":\"x\",\"y\":"),
         "a step's cycles measurement lacks its cell"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::istringstream in(c.text);
        const auto read = ReadSweepJournal(in, "run.ocp");
        if (!*c.refusal) {
            EXPECT_TRUE(std::holds_alternative<JournalContents>(read))
                << std::get<std::string>(read);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<std::string>(read));
        const std::string& why = std::get<std::string>(read);
        EXPECT_EQ(why.rfind("run.ocp line ", 0), 0u) << why;
        EXPECT_NE(why.find(c.refusal), std::string::npos) << why;
    }
    // Whatever a byte changes, the reader answers: read or refused, never a crash.
    std::mt19937 random(29);
    for (int i = 0; i < 400; ++i) {
        std::string text = full;
        const std::size_t at = random() % text.size();
        switch (random() % 3) {
            case 0:
                text[at] = static_cast<char>(random() % 256);
                break;
            case 1:
                text.erase(at, random() % 40);
                break;
            default:
                text.insert(at, text.substr(random() % text.size(), random() % 60));
        }
        std::istringstream in(text);
        const auto read = ReadSweepJournal(in, "fuzz.ocp");
        if (const auto* why = std::get_if<std::string>(&read)) {
            EXPECT_EQ(why->rfind("fuzz.ocp", 0), 0u) << *why;
        }
    }
}

}  // namespace
