// The processor's temperature chosen from what the drivers report, on sysfs
// trees laid out as the common drivers lay them out, and the safety stop.
#include "tools/stress/sensors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const std::string kFixtures = QUARRION_FIXTURES "/sensors/";

std::vector<TempReading> ReadTree(const std::string& root) {
    std::vector<TempReading> readings = ReadHwmon(root);
    const std::vector<TempReading> zones = ReadThermalZones(root);
    readings.insert(readings.end(), zones.begin(), zones.end());
    return readings;
}

TEST(Sensors, ChoosesTheHottestProcessorSensorOfEachLayout) {
    const struct {
        const char* tree;
        std::size_t readings;
        std::optional<double> celsius;
        const char* sensor;
    } cases[] = {
        // A hotter disk and board zone beside k10temp's Tctl and two dies.
        {"amd", 5, 66.5, "k10temp Tccd2"},
        // Two coretemp packages; the zone that duplicates a package is not used.
        {"intel", 7, 74.0, "coretemp Package id 1"},
        // No monitoring chip of the processor: its package zone, not the board's.
        {"zones", 2, 55.0, "x86_pkg_temp"},
        // A label without input, a value that is no number, a driver's placeholder.
        {"none", 3, std::nullopt, ""},
        {"missing", 0, std::nullopt, ""},
    };
    for (const auto& c : cases) {
        const std::vector<TempReading> readings = ReadTree(kFixtures + c.tree);
        EXPECT_EQ(readings.size(), c.readings) << c.tree;
        const ProcessorTemperature chosen = ChooseProcessorSensor(readings);
        EXPECT_EQ(chosen.celsius, c.celsius) << c.tree;
        EXPECT_EQ(chosen.sensor, c.sensor) << c.tree;
        EXPECT_EQ(chosen.Text() == "not available", !c.celsius) << c.tree;
    }
}

TEST(Sensors, ClassifiesByDriverAndLabel) {
    const struct {
        TempReading reading;
        SensorLevel level;
    } cases[] = {
        {{"coretemp", "Package id 0", 50, false}, SensorLevel::Package},
        {{"coretemp", "Core 12", 50, false}, SensorLevel::DieOrCore},
        {{"k10temp", "Tctl", 50, false}, SensorLevel::Package},
        {{"k10temp", "Tdie", 50, false}, SensorLevel::Package},
        {{"k10temp", "Tccd8", 50, false}, SensorLevel::DieOrCore},
        {{"zenpower", "Tdie", 50, false}, SensorLevel::Package},
        {{"nct6775", "CPUTIN", 50, false}, SensorLevel::NotProcessor},
        {{"acpitz", "temp1", 50, false}, SensorLevel::NotProcessor},
        {{"x86_pkg_temp", "", 50, true}, SensorLevel::Package},
        {{"acpitz", "", 50, true}, SensorLevel::NotProcessor},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifySensor(c.reading), c.level) << c.reading.chip << " " << c.reading.label;
}

// A copy of the AMD tree whose Tctl the test raises between ticks.
class RisingTree {
public:
    RisingTree() : root_(fs::temp_directory_path() / ("quarrion-sensors-" + Unique())) {
        fs::copy(kFixtures + "amd", root_, fs::copy_options::recursive);
    }
    ~RisingTree() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    RisingTree(const RisingTree&) = delete;
    RisingTree& operator=(const RisingTree&) = delete;
    void SetTctl(int milliCelsius) const {
        std::ofstream(root_ / "class/hwmon/hwmon1/temp1_input") << milliCelsius << "\n";
    }
    std::string Root() const { return root_.string(); }

private:
    static std::string Unique() {
        return std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    }
    fs::path root_;
};

TEST(Sensors, MaxTempStopsWhenTheProcessorReachesTheLimit) {
    const RisingTree tree;
    TemperatureMonitor monitor([&tree] { return ReadTree(tree.Root()); }, 90.0);
    const struct {
        int tctl;
        bool stops;
    } ticks[] = {{70000, false}, {80000, false}, {89999, false},
                 {90000, true},  {85000, true},  {60000, true}};
    for (const auto& t : ticks) {
        tree.SetTctl(t.tctl);
        EXPECT_EQ(monitor.Tick().has_value(), t.stops) << t.tctl;
    }
    EXPECT_EQ(monitor.Highest(), 90.0);
    EXPECT_NE(monitor.StopMessage().find("90.0 C (k10temp Tctl)"), std::string::npos)
        << monitor.StopMessage();
    EXPECT_NE(monitor.StopMessage().find("--max-temp 90"), std::string::npos);
    EXPECT_NE(kExitTooHot, 0);
}

TEST(Sensors, ALimitThatNoSensorCanWatchIsRefused) {
    const struct {
        const char* tree;
        std::optional<double> limit;
        bool refused;
    } cases[] = {{"none", 90.0, true},
                 {"none", std::nullopt, false},
                 {"amd", 90.0, false},
                 {"zones", 50.0, false}};
    for (const auto& c : cases) {
        const std::string root = kFixtures + c.tree;
        TemperatureMonitor monitor([&root] { return ReadTree(root); }, c.limit);
        monitor.Tick();
        EXPECT_EQ(!monitor.UnwatchableMessage().empty(), c.refused) << c.tree;
    }
}

}  // namespace
