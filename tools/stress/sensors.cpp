// Drivers name their sensors by convention: coretemp "Package id N" and
// "Core N", k10temp and zenpower "Tctl", "Tdie" and "TccdN". Readings outside
// what silicon reports are a driver's placeholder, not a temperature.
#include "tools/stress/sensors.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

namespace fs = std::filesystem;

namespace {

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool Plausible(double celsius) {
    return celsius > -40 && celsius < 200;
}

std::optional<std::string> ReadLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
    return line;
}

std::optional<double> ReadMilliCelsius(const fs::path& file) {
    const std::optional<std::string> text = ReadLine(file);
    if (!text || text->empty()) return std::nullopt;
    try {
        std::size_t used = 0;
        const long value = std::stol(*text, &used);
        if (used != text->size()) return std::nullopt;
        return static_cast<double>(value) / 1000;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Directory entries whose names start with `prefix`, sorted so readings come in
// a stable order; none when the directory is missing.
std::vector<fs::path> Entries(const fs::path& dir, const char* prefix) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
        if (StartsWith(it->path().filename().string(), prefix)) found.push_back(it->path());
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

SensorLevel ClassifySensor(const TempReading& r) {
    if (r.thermalZone)
        return r.chip == "x86_pkg_temp" ? SensorLevel::Package : SensorLevel::NotProcessor;
    if (r.chip == "coretemp") {
        if (StartsWith(r.label, "Package id")) return SensorLevel::Package;
        if (StartsWith(r.label, "Core")) return SensorLevel::DieOrCore;
    }
    if (r.chip == "k10temp" || r.chip == "zenpower") {
        if (r.label == "Tctl" || r.label == "Tdie") return SensorLevel::Package;
        if (StartsWith(r.label, "Tccd")) return SensorLevel::DieOrCore;
    }
    return SensorLevel::NotProcessor;
}

std::string ProcessorTemperature::Text() const {
    if (!celsius) return "not available";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f C", *celsius);
    return std::string(text) + " (" + sensor + ")";
}

ProcessorTemperature ChooseProcessorSensor(const std::vector<TempReading>& readings) {
    bool chipReads = false;
    for (const TempReading& r : readings)
        if (!r.thermalZone && Plausible(r.celsius) &&
            ClassifySensor(r) != SensorLevel::NotProcessor)
            chipReads = true;
    ProcessorTemperature chosen;
    for (const TempReading& r : readings) {
        if (r.thermalZone == chipReads || !Plausible(r.celsius) ||
            ClassifySensor(r) == SensorLevel::NotProcessor)
            continue;
        if (!chosen.celsius || r.celsius > *chosen.celsius) {
            chosen.celsius = r.celsius;
            chosen.sensor = r.label.empty() ? r.chip : r.chip + " " + r.label;
        }
    }
    return chosen;
}

std::vector<TempReading> ReadHwmon(const std::string& root) {
    std::vector<TempReading> readings;
    for (const fs::path& chip : Entries(fs::path(root) / "class" / "hwmon", "hwmon")) {
        const std::optional<std::string> name = ReadLine(chip / "name");
        if (!name) continue;
        for (const fs::path& input : Entries(chip, "temp")) {
            const std::string file = input.filename().string();
            const std::size_t suffix = file.rfind("_input");
            if (suffix == std::string::npos || suffix + 6 != file.size()) continue;
            const std::optional<double> celsius = ReadMilliCelsius(input);
            if (!celsius) continue;
            const std::string channel = file.substr(0, suffix);
            const std::optional<std::string> label = ReadLine(chip / (channel + "_label"));
            readings.push_back({*name, label ? *label : channel, *celsius, false});
        }
    }
    return readings;
}

std::vector<TempReading> ReadThermalZones(const std::string& root) {
    std::vector<TempReading> readings;
    for (const fs::path& zone : Entries(fs::path(root) / "class" / "thermal", "thermal_zone")) {
        const std::optional<std::string> type = ReadLine(zone / "type");
        const std::optional<double> celsius = ReadMilliCelsius(zone / "temp");
        if (type && celsius) readings.push_back({*type, "", *celsius, true});
    }
    return readings;
}

TemperatureMonitor::TemperatureMonitor(Source source, std::optional<double> limitCelsius)
    : source_(std::move(source)), limit_(limitCelsius) {}

std::optional<std::string> TemperatureMonitor::Tick() {
    latest_ = ChooseProcessorSensor(source_());
    if (latest_.celsius && (!highest_ || *latest_.celsius > *highest_)) highest_ = latest_.celsius;
    if (!Tripped() && limit_ && latest_.celsius && *latest_.celsius >= *limit_) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "Stopped: the processor reached %.1f C (%s), the limit set by "
                      "--max-temp %.0f.",
                      *latest_.celsius, latest_.sensor.c_str(), *limit_);
        stopMessage_ = text;
    }
    if (Tripped()) return stopMessage_;
    return std::nullopt;
}

std::string TemperatureMonitor::UnwatchableMessage() const {
    if (!limit_ || latest_.celsius) return {};
    char text[160];
    std::snprintf(text, sizeof text,
                  "--max-temp %.0f: no processor temperature sensor is readable here, so the "
                  "limit cannot be watched; not starting.",
                  *limit_);
    return text;
}
