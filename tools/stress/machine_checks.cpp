// Plain files, read as text: no driver, no privilege, and nothing at all where
// the files are absent.
#include "tools/stress/machine_checks.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::optional<std::uint64_t> ReadCount(const std::string& path) {
    std::ifstream in(path);
    std::uint64_t value = 0;
    if (!(in >> value)) return std::nullopt;
    return value;
}

}  // namespace

MachineCheckCounts ParseInterrupts(const std::string& text) {
    MachineCheckCounts counts;
    std::istringstream in(text);
    std::string line;
    std::vector<int> columns;  // processor of each column, from the header
    if (std::getline(in, line)) {
        std::istringstream header(line);
        for (std::string name; header >> name;) {
            if (name.rfind("CPU", 0) != 0 || name.size() > 9) return counts;
            try {
                columns.push_back(std::stoi(name.substr(3)));
            } catch (const std::exception&) {
                return counts;
            }
        }
    }
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        if (name != "MCE:" && name != "THR:" && name != "DFR:") continue;
        for (int processor : columns) {
            std::uint64_t n = 0;
            if (!(fields >> n)) break;
            counts.perProcessor[processor] += n;
        }
    }
    return counts;
}

MachineCheckCounts ReadMachineChecks() {
    std::ifstream in("/proc/interrupts");
    std::ostringstream text;
    text << in.rdbuf();
    MachineCheckCounts counts = ParseInterrupts(in ? text.str() : std::string());
    for (int mc = 0; mc < 64; ++mc) {
        const std::string dir = "/sys/devices/system/edac/mc/mc" + std::to_string(mc) + "/";
        const auto ce = ReadCount(dir + "ce_count"), ue = ReadCount(dir + "ue_count");
        if (!ce && !ue) break;
        if (ce) counts.edacCorrected = counts.edacCorrected.value_or(0) + *ce;
        if (ue) counts.edacUncorrected = counts.edacUncorrected.value_or(0) + *ue;
    }
    return counts;
}

std::optional<std::uint64_t> MachineCheckRise(const MachineCheckCounts& before,
                                              const MachineCheckCounts& after, int processor) {
    if (!before.Available() || !after.Available()) return std::nullopt;
    auto rise = [](std::optional<std::uint64_t> a, std::optional<std::uint64_t> b) {
        return a && b && *b > *a ? *b - *a : 0;
    };
    const auto at = [processor](const MachineCheckCounts& c) -> std::optional<std::uint64_t> {
        const auto it = c.perProcessor.find(processor);
        if (it == c.perProcessor.end()) return std::nullopt;
        return it->second;
    };
    return rise(at(before), at(after)) + rise(before.edacCorrected, after.edacCorrected) +
           rise(before.edacUncorrected, after.edacUncorrected);
}
