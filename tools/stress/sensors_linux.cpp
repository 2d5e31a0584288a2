// Linux: the monitoring chips through libsensors, which applies the system's
// sensors configuration (labels, ignored inputs); sysfs where it is missing.
#include "tools/stress/sensors.h"

#ifdef QUARRION_HAVE_LIBSENSORS
#include <sensors/sensors.h>

#include <cstdlib>
#include <memory>
#endif

namespace {

#ifdef QUARRION_HAVE_LIBSENSORS
// The library's state for the whole process: set up once, released at exit.
class SensorsLibrary {
public:
    SensorsLibrary() : ready_(sensors_init(nullptr) == 0) {}
    ~SensorsLibrary() {
        if (ready_) sensors_cleanup();
    }
    SensorsLibrary(const SensorsLibrary&) = delete;
    SensorsLibrary& operator=(const SensorsLibrary&) = delete;
    bool Ready() const { return ready_; }

private:
    bool ready_;
};

struct FreeLabel {
    void operator()(char* label) const { std::free(label); }
};

std::optional<std::vector<TempReading>> ReadThroughLibrary() {
    static SensorsLibrary library;
    if (!library.Ready()) return std::nullopt;
    std::vector<TempReading> readings;
    int chipAt = 0;
    while (const sensors_chip_name* chip = sensors_get_detected_chips(nullptr, &chipAt)) {
        int featureAt = 0;
        while (const sensors_feature* feature = sensors_get_features(chip, &featureAt)) {
            if (feature->type != SENSORS_FEATURE_TEMP) continue;
            const sensors_subfeature* input =
                sensors_get_subfeature(chip, feature, SENSORS_SUBFEATURE_TEMP_INPUT);
            double celsius = 0;
            if (!input || sensors_get_value(chip, input->number, &celsius) != 0) continue;
            const std::unique_ptr<char, FreeLabel> label(sensors_get_label(chip, feature));
            readings.push_back({chip->prefix ? chip->prefix : "",
                                label ? label.get() : feature->name, celsius, false});
        }
    }
    return readings;
}
#endif

}  // namespace

std::vector<TempReading> LiveTemperatures() {
    std::vector<TempReading> readings;
#ifdef QUARRION_HAVE_LIBSENSORS
    if (std::optional<std::vector<TempReading>> chips = ReadThroughLibrary())
        readings = std::move(*chips);
    else
        readings = ReadHwmon("/sys");
#else
    readings = ReadHwmon("/sys");
#endif
    std::vector<TempReading> zones = ReadThermalZones("/sys");
    readings.insert(readings.end(), zones.begin(), zones.end());
    return readings;
}
