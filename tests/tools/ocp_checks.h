// Checks an OCP Test and Validation 2.0 stream line by line against the
// published field definitions: envelope, order, sequence numbers, the keys each
// artifact may and must have, and the enumerations. Answers the parsed lines.
#pragma once

#include <gtest/gtest.h>

#include <istream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace ocp_checks {

struct Fields {
    std::set<std::string> required, optional;
};

// The artifacts this program writes, with what the format defines for them.
inline const std::map<std::string, Fields>& Definitions() {
    static const std::map<std::string, Fields> defined = {
        {"schemaVersion", {{"major", "minor"}, {}}},
        {"testRunStart",
         {{"name", "version", "commandLine", "parameters", "dutInfo"}, {"metadata"}}},
        {"dutInfo",
         {{"dutInfoId"}, {"name", "platformInfos", "softwareInfos", "hardwareInfos", "metadata"}}},
        {"testRunEnd", {{"status", "result"}, {}}},
        {"testStepStart", {{"name"}, {}}},
        {"testStepEnd", {{"status"}, {}}},
        {"measurement",
         {{"name", "value"}, {"unit", "validators", "hardwareInfoId", "subcomponent", "metadata"}}},
        {"diagnosis",
         {{"verdict", "type"}, {"message", "hardwareInfoId", "subcomponent", "sourceLocation"}}},
        {"error", {{"symptom"}, {"message", "softwareInfoIds", "sourceLocation"}}},
    };
    return defined;
}

inline const std::map<std::string, std::set<std::string>>& Enumerations() {
    static const std::map<std::string, std::set<std::string>> enums = {
        {"testRunEnd.status", {"COMPLETE", "ERROR", "SKIP"}},
        {"testRunEnd.result", {"PASS", "FAIL", "NOT_APPLICABLE"}},
        {"testStepEnd.status", {"COMPLETE", "ERROR", "SKIP"}},
        {"diagnosis.type", {"PASS", "FAIL", "UNKNOWN"}},
    };
    return enums;
}

inline void CheckFields(const std::string& kind, const nlohmann::json& body, int line) {
    const Fields& f = Definitions().at(kind);
    ASSERT_TRUE(body.is_object()) << "line " << line << ": " << kind;
    for (const auto& key : f.required)
        EXPECT_TRUE(body.contains(key)) << line << ": " << kind << "." << key;
    for (const auto& [key, value] : body.items()) {
        EXPECT_TRUE(f.required.count(key) || f.optional.count(key))
            << "line " << line << ": " << kind << " has no field " << key;
        const auto allowed = Enumerations().find(kind + "." + key);
        if (allowed != Enumerations().end()) {
            EXPECT_TRUE(allowed->second.count(value.get<std::string>())) << line << ": " << value;
        }
    }
}

// The one artifact inside an envelope's testRunArtifact or testStepArtifact.
inline std::string OnlyArtifact(const nlohmann::json& body, const std::set<std::string>& besides) {
    std::string kind;
    for (const auto& [key, value] : body.items())
        if (!besides.count(key)) kind = kind.empty() ? key : "<more than one>";
    return kind;
}

// RFC 3339 in UTC: "2026-12-08T09:00:00Z", optionally with a fraction of a second.
inline bool IsUtcTimestamp(const std::string& t) {
    const std::string form = "dddd-dd-ddTdd:dd:dd";
    if (t.size() < form.size() + 1 || t.back() != 'Z') return false;
    for (std::size_t i = 0; i < t.size() - 1; ++i) {
        const char want = i < form.size() ? form[i] : i == form.size() ? '.' : 'd';
        const bool digit = t[i] >= '0' && t[i] <= '9';
        if (want == 'd' ? !digit : t[i] != want) return false;
    }
    return t.size() != form.size() + 2;  // a '.' needs digits after it
}

inline std::vector<nlohmann::json> CheckStream(std::istream& in) {
    std::vector<nlohmann::json> lines;
    std::map<std::string, int> steps;  // 1 started, 2 ended
    for (std::string text; std::getline(in, text);) {
        const int n = static_cast<int>(lines.size());
        const nlohmann::json line = nlohmann::json::parse(text);
        EXPECT_EQ(line.value("sequenceNumber", -1), n);
        EXPECT_TRUE(IsUtcTimestamp(line.value("timestamp", ""))) << text;
        const std::string kind = OnlyArtifact(line, {"sequenceNumber", "timestamp"});
        EXPECT_EQ(kind == "schemaVersion", n == 0) << "line " << n << ": " << text;
        if (kind == "schemaVersion") {
            CheckFields(kind, line[kind], n);
            EXPECT_EQ(line[kind], (nlohmann::json{{"major", 2}, {"minor", 0}}));
        } else if (kind == "testRunArtifact") {
            const std::string artifact = OnlyArtifact(line[kind], {});
            CheckFields(artifact, line[kind][artifact], n);
            EXPECT_EQ(artifact == "testRunStart", n == 1) << text;
            if (artifact == "testRunStart")
                CheckFields("dutInfo", line[kind][artifact]["dutInfo"], n);
        } else {
            EXPECT_EQ(kind, "testStepArtifact") << text;
            if (kind != "testStepArtifact" || !line[kind]["testStepId"].is_string()) {
                ADD_FAILURE() << "a step artifact needs a string testStepId: " << text;
                break;
            }
            const auto& step = line[kind];
            const std::string id = step["testStepId"],
                              artifact = OnlyArtifact(step, {"testStepId"});
            CheckFields(artifact, step[artifact], n);
            const int expected = artifact == "testStepStart" ? 0 : 1;
            EXPECT_EQ(steps[id], expected) << "step " << id << " out of order at line " << n;
            if (artifact == "testStepStart" || artifact == "testStepEnd") ++steps[id];
        }
        lines.push_back(line);
    }
    for (const auto& [id, state] : steps) {
        EXPECT_TRUE(state == 0 || state == 2) << "step " << id << " never ended";  // 0: named above
    }
    EXPECT_TRUE(!lines.empty() && lines.back()["testRunArtifact"].contains("testRunEnd"));
    return lines;
}

// Every artifact of one kind, in order: the body inside its envelope.
inline std::vector<nlohmann::json> All(const std::vector<nlohmann::json>& lines,
                                       const std::string& kind) {
    std::vector<nlohmann::json> found;
    for (const auto& line : lines) {
        for (const char* envelope : {"testRunArtifact", "testStepArtifact"})
            if (line.contains(envelope) && line[envelope].contains(kind))
                found.push_back(line[envelope]);
    }
    return found;
}

}  // namespace ocp_checks
