// Processor temperatures: what the hardware-monitoring chips and thermal zones
// report, which of those readings belong to the processor, and the safety stop
// that ends a run when the processor gets too hot.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

// One temperature as a driver reports it.
struct TempReading {
    std::string chip;   // the driver's name ("k10temp", "coretemp") or a thermal zone's type
    std::string label;  // "Tctl", "Package id 0", "Core 3"; a zone's reading has none
    double celsius = 0;
    bool thermalZone = false;  // from a thermal zone rather than a monitoring chip
};

enum class SensorLevel { NotProcessor, Package, DieOrCore };
SensorLevel ClassifySensor(const TempReading& reading);

// The processor's temperature now: the hottest of its sensors, or "not available".
struct ProcessorTemperature {
    std::optional<double> celsius;
    std::string sensor;        // "k10temp Tctl": which reading it is
    std::string Text() const;  // "63.5 C (k10temp Tctl)" or "not available"
};

// Only processor drivers count (never a board or disk sensor, however hot), and
// thermal zones only where no monitoring chip of the processor reads.
ProcessorTemperature ChooseProcessorSensor(const std::vector<TempReading>& readings);

// The sysfs files under `root` (normally "/sys"): class/hwmon/*/temp*_input with
// name and labels, and class/thermal/thermal_zone*/temp with type. Unreadable
// files are left out.
std::vector<TempReading> ReadHwmon(const std::string& root);
std::vector<TempReading> ReadThermalZones(const std::string& root);

// This machine's readings now: the monitoring chips through libsensors where
// the build has it (it applies the system's sensors configuration), otherwise
// sysfs; the thermal zones from sysfs. None on Windows.
std::vector<TempReading> LiveTemperatures();

constexpr int kExitTooHot = 5;

// Reads the processor's temperature once per Tick (the runner ticks it about
// once a second), keeps the highest, and trips at the limit.
class TemperatureMonitor {
public:
    using Source = std::function<std::vector<TempReading>()>;
    TemperatureMonitor(Source source, std::optional<double> limitCelsius);

    // Reads now. Answers the stop message once the limit is reached; the monitor
    // stays tripped.
    std::optional<std::string> Tick();

    const ProcessorTemperature& Latest() const { return latest_; }
    std::optional<double> Highest() const { return highest_; }
    bool Tripped() const { return !stopMessage_.empty(); }
    const std::string& StopMessage() const { return stopMessage_; }
    // After the first Tick: a limit was asked for where no processor sensor
    // reads, so the run must not start unguarded. The message says so; empty
    // when the limit can be watched.
    std::string UnwatchableMessage() const;

private:
    Source source_;
    std::optional<double> limit_;
    ProcessorTemperature latest_;
    std::optional<double> highest_;
    std::string stopMessage_;
};
